local t = {} for i = 32767, 32767.5, 0.5 do t[i] = i .. "" end
local s = "0x10" + 1 print(s, #t, 1/0, 7 % 0, 2^0.5)
