-- Tables and strings: arrays, sets, nested structures, sorting by hand,
-- concatenation, sub and comparison.
local arr = {}
for i = 1, 1000 do arr[i] = (i % 101) * 37 % 101 end
local s = 0
for i = 1, #arr do s = (s + arr[i] * (i % 100)) % 20000 end
print("array", #arr, s, arr[500])
local small = {}
for i = 1, 30 do small[i] = (i * 79) % 61 end
for i = 2, #small do
  local v, j = small[i], i - 1
  while j >= 1 and small[j] > v do small[j + 1] = small[j] j = j - 1 end
  small[j + 1] = v
end
local line = ""
for i = 1, #small do line = line .. small[i] .. "," end
print(line, #line)
local set, total, n = {}, 0, 0
for _, w in pairs({"x", "y", "x", "z", "y", "x"}) do set[w] = (set[w] or 0) + 1 end
for k, v in pairs({10, 20, 30, a = 1, [-1] = 5, [0] = 6}) do total = total + v n = n + 1 end
print(set.x, set.y, set.z, n, total)
print("neg" .. -5 .. "|" .. 32767 .. "|" .. -32768, "10" + 5, "3" * "4", "100" - 1)
print(sub("hello world", 7), sub("hello world", -5, -3), sub("abc", 0), sub("abc", 2, 1), sub("abc", 10))
print("a" < "b", "Z" < "a", "" < "a", "10" < "9", type("5" + 0), type(5 .. ""))
