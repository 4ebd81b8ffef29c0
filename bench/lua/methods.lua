-- Method calls through metatables and __index.
local Point = {}
Point.__index = Point
function Point.new(x, y) return setmetatable({x = x, y = y}, Point) end
function Point:move(dx, dy) self.x = (self.x + dx) % 1000 self.y = (self.y + dy) % 1000 return self end
function Point:sum() return self.x + self.y end
local Mover = setmetatable({}, {__index = Point})
Mover.__index = Mover
function Mover.new(x, y) return setmetatable(Point.new(x, y), Mover) end
local p, q = Point.new(1, 2), Mover.new(3, 4)
local s = 0
for j = 1, 200 do
  for i = 1, 10000 do
    p:move(1, 2)
    q:move(3, 1)
    s = (s + p:sum() + q:sum()) % 20011
  end
end
print(s)
