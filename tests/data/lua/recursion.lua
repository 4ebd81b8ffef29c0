-- Recursion: plain, mutual, deep and tail calls.
local function ack(m, n)
  if m == 0 then return n + 1 end
  if n == 0 then return ack(m - 1, 1) end
  return ack(m - 1, ack(m, n - 1))
end
local is_even, is_odd
function is_even(n) if n == 0 then return true end return is_odd(n - 1) end
function is_odd(n) if n == 0 then return false end return is_even(n - 1) end
local function depth(n) if n == 0 then return 0 end return (depth(n - 1) + 1) % 1000 end
local function loop(n, acc) if n == 0 then return acc end return loop(n - 1, (acc + n % 1000) % 9973) end
local function gcd(a, b) if b == 0 then return a end return gcd(b, a % b) end
print("ack", ack(2, 3), ack(3, 3))
print("mutual", is_even(5000), is_odd(4999), is_even(777))
print("deep", depth(15000), loop(30000, 0))
print("gcd", gcd(1071, 462), gcd(32767, 1024))
