-- Control flow and goto: loops, branches, logic and whole-number arithmetic.
local out = ""
for i = 10, 1, -3 do out = out .. i .. " " end
local i, prod = 0, 1
while i < 7 do i = i + 1 prod = prod * 2 end
repeat i = i - 2 until i < 0
print(out, i, prod)
print(nil or 5, false or nil, 0 and 1, nil and 1, false == nil, not nil, not 0)
print(7 % 3, -7 % 3, 2 ^ 8, 17 - 20, 144 / 12, 1 < 2, 2 <= 2, 1 ~= 1, 5 > 3 and "big" or "small")
for j = 1, 7 do
  if j % 3 == 0 then goto continue end
  print("kept", j)
  ::continue::
end
local found
for a = 1, 9 do
  for b = 1, 9 do
    if a * b == 42 then found = a .. "x" .. b goto done end
  end
end
::done::
local function collatz(x)
  local steps = 0
  ::top::
  if x == 1 then return steps end
  steps = steps + 1
  if x % 2 == 0 then x = x / 2 else x = 3 * x + 1 end
  goto top
end
print("found", found, collatz(7), collatz(9))
