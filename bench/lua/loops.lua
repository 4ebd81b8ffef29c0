-- Numeric for loops with whole-number arithmetic and comparisons.
local s, c = 0, 0
for j = 1, 1500 do
  for i = 1, 10000 do
    s = (s + i % 1000 * 3 - j % 7) % 20011
    if s > 10000 then c = c + 1 end
  end
  c = c % 20000
end
print(s, c)
