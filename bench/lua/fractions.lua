-- Arithmetic on fractions: multiply, divide, modulo and powers. The two
-- interpreters round differently, so their results are not compared.
local x, y = 1.5, 0
for j = 1, 8000 do
  for i = 1, 3000 do
    x = x * 1.25 / 1.125 + 0.375
    if x > 100 then x = x % 7.5 end
    y = (y + x / 3) % 1000
  end
  y = y + 2 ^ 0.5
end
print(x > 0, y > 0)
