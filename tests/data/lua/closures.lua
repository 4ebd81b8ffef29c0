-- Closures and varargs: counters, captured loop variables, shared upvalues,
-- packing, forwarding and adjusting multiple results.
local function counter(start, step)
  local n = start
  return function() n = n + step return n end
end
local c1, c2 = counter(0, 1), counter(100, -3)
for i = 1, 3 do print(c1(), c2()) end
local fns, k = {}, 0
while k < 4 do
  k = k + 1
  local captured = k * 10
  fns[k] = function() return captured + k end
end
for i = 1, 4 do print("loop", fns[i]()) end

local function count(...) return #{...} end
local function multi() return 1, 2, 3 end
local function pass(...) return ... end
local function tail(n, ...) if n == 0 then return ... end return tail(n - 1, n, ...) end
print(count(), count(1, 2, 3), multi(), "end")
print("start", multi())
print((multi()), #{multi(), multi()}, pass(1, nil, 3))
print(tail(8))
