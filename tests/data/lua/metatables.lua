-- Metatables: __index, __newindex, __call, arithmetic and comparison events.
local Vec = {}
Vec.__index = Vec
local function vec(x, y) return setmetatable({x = x, y = y}, Vec) end
function Vec.__add(a, b) return vec(a.x + b.x, a.y + b.y) end
function Vec.__sub(a, b) return vec(a.x - b.x, a.y - b.y) end
function Vec.__mul(a, k) return vec(a.x * k, a.y * k) end
function Vec.__unm(a) return vec(-a.x, -a.y) end
function Vec.__eq(a, b) return a.x == b.x and a.y == b.y end
function Vec.__lt(a, b) return a:len2() < b:len2() end
function Vec.__le(a, b) return a:len2() <= b:len2() end
function Vec.__concat(a, b) return a:str() .. "|" .. b:str() end
function Vec.__len(a) return a.x + a.y end
function Vec:len2() return self.x * self.x + self.y * self.y end
function Vec:str() return "(" .. self.x .. "," .. self.y .. ")" end
Vec.__tostring = Vec.str

local a, b = vec(3, 4), vec(1, 2)
print((a + b):str(), (a - b):str(), (a * 3):str(), (-a):str())
print(a == vec(3, 4), a == b, a ~= b, b < a, a <= b, a .. b, #a)
print(a, b)
print(getmetatable(a) == Vec, getmetatable({}))

-- inheritance through __index chains
local Base = {}
Base.__index = Base
function Base.new(name) return setmetatable({name = name}, Base) end
function Base:hello() return "base " .. self.name end
function Base:kind() return "base" end
local Derived = setmetatable({}, {__index = Base})
Derived.__index = Derived
function Derived.new(name) return setmetatable(Base.new(name), Derived) end
function Derived:kind() return "derived" end
local d = Derived.new("dee")
print(d:hello(), d:kind(), Base.new("bee"):kind())

-- __index and __newindex as functions
local log = {}
local store = {}
local proxy = setmetatable({}, {
  __index = function(t, k) log[#log + 1] = "get " .. k return store[k] end,
  __newindex = function(t, k, v) log[#log + 1] = "set " .. k store[k] = v end,
})
proxy.a = 1
proxy.b = proxy.a + 10
print(proxy.a, proxy.b, proxy.c)
for i = 1, #log do print(log[i]) end

-- default values
local defaults = setmetatable({}, {__index = function(t, k) return k * 2 end})
print(defaults[21], defaults[-4])

-- __call
local callable = setmetatable({factor = 7}, {__call = function(self, x, y) return self.factor * x + y end})
print(callable(3, 1), callable(10, -70))

-- read-only table
local ro = setmetatable({}, {__index = {fixed = 5}, __newindex = function(t, k, v) print("refused", k, v) end})
ro.fixed = 6
ro.other = 1
print(ro.fixed, ro.other)

-- __metatable protects the metatable
local locked = setmetatable({}, {__metatable = "locked"})
print(getmetatable(locked))
