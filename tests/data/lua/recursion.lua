-- Recursion: plain, mutual, deep and tail calls.
local function ack(m, n)
  if m == 0 then return n + 1 end
  if n == 0 then return ack(m - 1, 1) end
  return ack(m - 1, ack(m, n - 1))
end
print("ack", ack(2, 3), ack(3, 3))

local is_even, is_odd
function is_even(n) if n == 0 then return true end return is_odd(n - 1) end
function is_odd(n) if n == 0 then return false end return is_even(n - 1) end
print("mutual", is_even(5000), is_odd(4999), is_even(777))

local function depth(n) if n == 0 then return 0 end return (depth(n - 1) + 1) % 1000 end
print("depth", depth(15000))
local function loop(n, acc) if n == 0 then return acc end return loop(n - 1, (acc + n % 1000) % 9973) end
print("tail", loop(30000, 0))
local function build(d) if d == 0 then return {leaf = true} end return {left = build(d - 1), right = build(d - 1)} end
local function leaves(t) if t.leaf then return 1 end return leaves(t.left) + leaves(t.right) end
print("leaves", leaves(build(12)))
local function gcd(a, b) if b == 0 then return a end return gcd(b, a % b) end
print("gcd", gcd(1071, 462), gcd(32767, 1024), gcd(270, 192))
