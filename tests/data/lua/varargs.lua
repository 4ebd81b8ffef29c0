-- Varargs: packing, counting, forwarding, adjusting multiple results.
local function count(...) return #{...} end
print(count(), count(1), count(1, 2, 3), count("a", "b"))

local function sum(...)
  local s = 0
  for _, v in pairs({...}) do s = s + v end
  return s
end
print("sum", sum(1, 2, 3, 4, 5), sum(), sum(100, -50))

local function unpack_list(t, i)
  i = i or 1
  if t[i] == nil then return end
  return t[i], unpack_list(t, i + 1)
end
print(unpack_list({7, 8, 9}))

local function forward(f, ...) return f(...) end
print("forward", forward(sum, 10, 20, 30))

local function multi() return 1, 2, 3 end
print(multi())
print(multi(), "end")
print("start", multi())
print((multi()))
local a, b, c, d = multi()
print(a, b, c, d)
local t = {multi(), multi()}
print(#t, t[1], t[2], t[4])

local function first_rest(first, ...)
  return first, count(...)
end
print(first_rest(5, 6, 7, 8))

local function varargs_in_closure(...)
  local packed = {...}
  return function() return unpack_list(packed) end
end
print(varargs_in_closure("x", "y", "z")())

-- nil in the middle of varargs, passed through unchanged
local function pass(...) return ... end
local p1, p2, p3 = pass(1, nil, 3)
print(p1, p2, p3)

local function tail(n, ...)
  if n == 0 then return ... end
  return tail(n - 1, n, ...)
end
print(tail(8))
