-- Table fill and read: array part and small hash tables.
local s = 0
for round = 1, 480 do
  local t = {}
  for i = 1, 20000 do t[i] = i % 100 end
  for i = 1, 20000 do s = (s + t[i]) % 30011 end
  local h = {}
  for i = 1, 200 do h[-i] = i end
  for i = 1, 200 do s = (s + h[-i]) % 30011 end
end
print(s)
