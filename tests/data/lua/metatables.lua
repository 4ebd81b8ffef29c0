-- Metatables: arithmetic and comparison events, inheritance, proxies, __call.
local Vec = {}
Vec.__index = Vec
local function vec(x, y) return setmetatable({x = x, y = y}, Vec) end
function Vec.__add(a, b) return vec(a.x + b.x, a.y + b.y) end
function Vec.__unm(a) return vec(-a.x, -a.y) end
function Vec.__eq(a, b) return a.x == b.x and a.y == b.y end
function Vec.__lt(a, b) return a.x * a.x + a.y * a.y < b.x * b.x + b.y * b.y end
function Vec.__concat(a, b) return a:str() .. "|" .. b:str() end
function Vec.__len(a) return a.x + a.y end
function Vec:str() return "(" .. self.x .. "," .. self.y .. ")" end
Vec.__tostring = Vec.str
local a, b = vec(3, 4), vec(1, 2)
print((a + b):str(), (-a):str(), a, a == vec(3, 4), a ~= b, b < a, a .. b, #a)
local Base = {}
Base.__index = Base
function Base:hello() return "base " .. self.name end
local Derived = setmetatable({}, {__index = Base})
Derived.__index = Derived
print(setmetatable({name = "dee"}, Derived):hello())
local log, store = {}, {}
local proxy = setmetatable({}, {
  __index = function(t, k) log[#log + 1] = "get " .. k return store[k] end,
  __newindex = function(t, k, v) log[#log + 1] = "set " .. k store[k] = v end,
})
proxy.a = 1
proxy.b = proxy.a + 10
print(proxy.b, proxy.c, #log, log[1], log[3])
print(setmetatable({f = 7}, {__call = function(self, x) return self.f * x end})(3))
