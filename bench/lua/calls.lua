-- Recursive calls.
local function fib(n)
  if n < 2 then return n end
  return (fib(n - 1) + fib(n - 2)) % 10007
end
local s = 0
for i = 1, 12 do s = (s + fib(29)) % 10007 end
print(s)
