-- Closures: counters, captured loop variables, shared upvalues, recursion.
local function counter(start, step)
  local n = start
  return function() n = n + step return n end
end
local c1, c2 = counter(0, 1), counter(100, -3)
for i = 1, 3 do print(c1(), c2()) end

-- each iteration of a loop gets its own variable, in for and while loops
local fns, list, k = {}, {}, 0
for i = 1, 4 do fns[i] = function() return i * i end end
while k < 4 do
  k = k + 1
  local captured = k * 10
  list[k] = function() return captured + k end
end
for i = 1, 4 do print("loop", fns[i](), list[i]()) end

-- two closures sharing one upvalue
local function pair()
  local v = 0
  return function(x) v = v + x end, function() return v end
end
local add, get = pair()
add(5) add(7) add(-2)
print("shared", get())

-- a memoising recursive local function
local memo = {}
local function fib(n)
  if n < 3 then return 1 end
  if not memo[n] then memo[n] = fib(n - 1) + fib(n - 2) end
  return memo[n]
end
for i = 1, 22, 3 do print("fib", i, fib(i)) end
