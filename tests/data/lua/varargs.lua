-- Varargs: packing, counting, forwarding, adjusting multiple results.
local function count(...) return #{...} end
print(count(), count(1), count(1, 2, 3), count("a", "b"))

local function unpack_list(t, i)
  i = i or 1
  if t[i] == nil then return end
  return t[i], unpack_list(t, i + 1)
end
print(unpack_list({7, 8, 9}))

local function multi() return 1, 2, 3 end
print(multi(), "end")
print("start", multi())
print((multi()))
local a, b, c, d = multi()
print(a, b, c, d)
local t = {multi(), multi()}
print(#t, t[1], t[2], t[4])

local function pass(...) return ... end
print(pass(1, nil, 3))
local function tail(n, ...)
  if n == 0 then return ... end
  return tail(n - 1, n, ...)
end
print(tail(8))
