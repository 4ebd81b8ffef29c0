local V = {} V.__index = V
function V.__add(a, b) return setmetatable({x = a.x + b.x}, V) end
local p = setmetatable({x = 1}, V) + setmetatable({x = 2.5}, V)
local co = cocreate(function(a) for i = 1, 3 do a = a * 2 end return a end)
local ok, r = coresume(co, p.x)
local s = sub(trace("t"), 1, 5) .. r .. #s
