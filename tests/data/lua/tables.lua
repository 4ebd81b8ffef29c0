-- Tables: arrays, records, sets, nested structures, sorting by hand.
local arr = {}
for i = 1, 1000 do arr[i] = (i % 101) * 37 % 101 end
local s = 0
for i = 1, #arr do s = (s + arr[i] * (i % 100)) % 20000 end
print("array", #arr, s, arr[1], arr[500], arr[1000])

local small = {}
for i = 1, 30 do small[i] = (i * 79) % 61 end
for i = 2, #small do
  local v, j = small[i], i - 1
  while j >= 1 and small[j] > v do small[j + 1] = small[j] j = j - 1 end
  small[j + 1] = v
end
local line = ""
for i = 1, #small do line = line .. small[i] .. " " end
print(line)

local set = {}
for _, w in pairs({"x", "y", "x", "z", "y", "x"}) do set[w] = (set[w] or 0) + 1 end
print(set.x, set.y, set.z)
local total, n = 0, 0
for k, v in pairs({10, 20, 30, a = 1, b = 2, [-1] = 5, [0] = 6}) do total = total + v n = n + 1 end
print("pairs", n, total)
local grid = {}
for y = 1, 20 do
  grid[y] = {}
  for x = 1, 20 do grid[y][x] = x * y end
end
print("grid", grid[7][9], #grid, #grid[3])
local holes = {1, 2, 3}
holes[3] = nil
print(#holes)
