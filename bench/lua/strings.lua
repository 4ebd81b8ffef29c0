-- String building: concatenating whole numbers and short strings.
local total = 0
for j = 1, 20000 do
  local s = ""
  for i = 1, 60 do s = s .. i .. "," end
  total = (total + #s) % 30011
  local parts = {}
  for i = 1, 20 do parts[i] = "k" .. (i + j % 100) end
  total = (total + #parts[20]) % 30011
end
print(total)
