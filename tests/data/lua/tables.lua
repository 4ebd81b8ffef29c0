-- Tables: arrays, records, sets, nested structures, sorting by hand.
local arr = {}
for i = 1, 1000 do arr[i] = (i % 101) * 37 % 101 end
local s = 0
for i = 1, #arr do s = (s + arr[i] * (i % 100)) % 20000 end
print("array", #arr, s, arr[1], arr[500], arr[1000])

local function insertion_sort(t)
  for i = 2, #t do
    local v, j = t[i], i - 1
    while j >= 1 and t[j] > v do t[j + 1] = t[j] j = j - 1 end
    t[j + 1] = v
  end
end
local small = {}
for i = 1, 30 do small[i] = (i * 79) % 61 end
insertion_sort(small)
local line = ""
for i = 1, #small do line = line .. small[i] .. " " end
print(line)

local rec = {name = "box", w = 3, h = 4, tags = {"a", "b"}}
print(rec.name, rec.w * rec.h, #rec.tags, rec.tags[2], rec.missing)

local set = {}
for _, w in pairs({"x", "y", "x", "z", "y", "x"}) do set[w] = (set[w] or 0) + 1 end
print(set.x, set.y, set.z)

local total, n = 0, 0
local mixed = {10, 20, 30, a = 1, b = 2, [-1] = 5, [0] = 6}
for k, v in pairs(mixed) do total = total + v n = n + 1 end
print("pairs", n, total)

local grid = {}
for y = 1, 20 do
  grid[y] = {}
  for x = 1, 20 do grid[y][x] = x * y end
end
local diag = 0
for i = 1, 20 do diag = diag + grid[i][i] end
print("grid", diag, grid[7][9], #grid, #grid[3])

local holes = {}
holes[1] = 1 holes[2] = 2 holes[3] = 3
holes[3] = nil
print(#holes)
local queue = {first = 1, last = 0}
local function push(v) queue.last = queue.last + 1 queue[queue.last] = v end
local function pop() local v = queue[queue.first] queue[queue.first] = nil queue.first = queue.first + 1 return v end
for i = 1, 5 do push(i * i) end
print(pop(), pop(), pop(), queue.last - queue.first + 1)
local t2 = {}
t2[2.0] = "two"
print(t2[2], t2[2.0])
