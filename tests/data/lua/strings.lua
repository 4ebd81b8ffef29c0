-- Strings: concatenation of whole numbers, sub, comparison, coercion.
local s = ""
for i = 1, 20 do s = s .. i .. "," end
print(s, #s)
print("neg" .. -5 .. "|" .. 0 .. "|" .. 32767 .. "|" .. -32768, 10 .. 20)
print("10" + 5, "3" * "4", 2 ^ 10, "100" - 1)
print(sub("hello world", 1, 5), sub("hello world", 7), sub("hello world", -5), sub("hello world", -5, -3))
print(sub("abc", 0), sub("abc", 2, 1), sub("abc", 10), sub("", 1, 1) == "")
print("a" < "b", "abc" < "abd", "Z" < "a", "" < "a", "10" < "9", "x" ~= "y")
local big = "ab"
for i = 1, 10 do big = big .. big end
print(#big, sub(big, 1000, 1005))
local keyed = {}
keyed["k" .. 1] = "one"
print(keyed.k1, keyed["k" .. (2 - 1)], type("5" + 0), type(5 .. ""))
