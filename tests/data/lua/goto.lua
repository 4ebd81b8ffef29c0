-- goto: continue, leaving nested loops, backward jumps.
for i = 1, 10 do
  if i % 3 == 0 then goto continue end
  print("kept", i)
  ::continue::
end

local found
for i = 1, 9 do
  for j = 1, 9 do
    if i * j == 42 then
      found = i .. "x" .. j
      goto done
    end
  end
end
::done::
print("found", found)

local n = 0
::again::
n = n + 1
if n < 5 then goto again end
print("looped", n)

-- goto inside while with a local declared after the label's block
local i = 0
while true do
  i = i + 1
  if i > 6 then goto out end
  do
    local sq = i * i
    if sq % 2 == 0 then goto skip end
    print("odd square", sq)
  end
  ::skip::
end
::out::
print("out at", i)

-- nested functions with their own labels
local function collatz(x)
  local steps = 0
  ::top::
  if x == 1 then return steps end
  steps = steps + 1
  if x % 2 == 0 then x = x / 2 else x = 3 * x + 1 end
  goto top
end
for s = 1, 12 do print("collatz", s, collatz(s)) end
