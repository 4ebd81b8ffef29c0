-- Creating and calling closures.
local function make_adder(k)
  return function(x) return (x + k) % 10007 end
end
local s = 0
for j = 1, 1000 do
  for i = 1, 5000 do
    local f = make_adder(i % 50)
    s = f(s)
  end
end
print(s)
