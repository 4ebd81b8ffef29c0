-- goto: continue, leaving nested loops, backward jumps, labels in functions.
for i = 1, 7 do
  if i % 3 == 0 then goto continue end
  print("kept", i)
  ::continue::
end

local found
for i = 1, 9 do
  for j = 1, 9 do
    if i * j == 42 then found = i .. "x" .. j goto done end
  end
end
::done::
print("found", found)

local function collatz(x)
  local steps = 0
  ::top::
  if x == 1 then return steps end
  steps = steps + 1
  if x % 2 == 0 then x = x / 2 else x = 3 * x + 1 end
  goto top
end
for s = 1, 12, 2 do print("collatz", s, collatz(s)) end
