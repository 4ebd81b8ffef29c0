-- Closures: counters, captured loop variables, shared upvalues, currying.
local function counter(start, step)
  local n = start
  return function() n = n + step return n end
end
local c1, c2 = counter(0, 1), counter(100, -3)
for i = 1, 5 do print(c1(), c2()) end

-- each iteration of a loop gets its own variable
local fns = {}
for i = 1, 6 do fns[i] = function() return i * i end end
for i = 1, 6 do print("square", i, fns[i]()) end

-- two closures sharing one upvalue
local function pair()
  local v = 0
  return function(x) v = v + x end, function() return v end
end
local add, get = pair()
add(5) add(7) add(-2)
print("shared", get())

-- closures created in a while loop capture the current block's local
local list, k = {}, 0
while k < 4 do
  k = k + 1
  local captured = k * 10
  list[k] = function() return captured + k end
end
for i = 1, 4 do print("while", list[i]()) end

-- currying and composition
local function curry3(f) return function(a) return function(b) return function(c) return f(a, b, c) end end end end
local function vol(a, b, c) return a * b * c end
print("curry", curry3(vol)(2)(3)(4))
local function compose(f, g) return function(x) return f(g(x)) end end
local inc = function(x) return x + 1 end
local dbl = function(x) return x * 2 end
print("compose", compose(inc, dbl)(10), compose(dbl, inc)(10))

-- a recursive local function and closures over it
local function make_memo()
  local memo = {}
  local function fib(n)
    if n < 3 then return 1 end
    if memo[n] then return memo[n] end
    local r = fib(n - 1) + fib(n - 2)
    memo[n] = r
    return r
  end
  return fib
end
local fib = make_memo()
for i = 1, 22 do print("fib", i, fib(i)) end

-- closures stored in tables and called as methods
local obj = {total = 0}
function obj.add(self, n) self.total = self.total + n return self end
obj:add(3):add(4):add(5)
print("chain", obj.total)
