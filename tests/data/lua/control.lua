-- Control flow and whole-number arithmetic.
local out = ""
for i = 10, 1, -3 do out = out .. i .. " " end
print(out)
local i, prod = 0, 1
while i < 7 do i = i + 1 prod = prod * 2 end
repeat i = i - 2 until i < 0
print(i, prod)
for _, v in pairs({-3, 0, 4, 7}) do
  if v < 0 then print(v, "negative") elseif v == 0 then print(v, "zero")
  elseif v % 2 == 0 then print(v, "even") else print(v, "odd") end
end
print(nil or 5, false or nil, 0 and 1, nil and 1, false == nil, not nil, not 0)
print(7 % 3, -7 % 3, 2 ^ 8, 17 - 20, 12 * 12, 144 / 12, 100 % 7)
print(1 < 2, 2 <= 2, 3 > 4, 5 >= 5, 1 == 1, 1 ~= 1, 5 > 3 and "big" or "small")
local primes, count = {}, 0
for n = 2, 200 do
  local prime = true
  for d = 2, n - 1 do
    if d * d > n then break end
    if n % d == 0 then prime = false break end
  end
  if prime then count = count + 1 primes[count] = n end
end
print("primes", count, primes[1], primes[count])
print(type(1), type("s"), type({}), type(print), type(nil), type(true))
