-- added to a copy of the mouse demo when its label is made:
-- a scripted mouse paints two strokes and changes colour
real_stat = stat
fake_t = 0
function stat(n)
 if n == 32 then return 20 + fake_t % 90 end
 if n == 33 then return 30 + sin(fake_t / 50) * 20 + (fake_t > 90 and 30 or 0) end
 if n == 34 then return fake_t < 20 and 1 or fake_t < 30 and 0 or 1 end
 if n == 36 then return fake_t == 50 and 2 or 0 end
 return real_stat(n)
end
real_update = _update
function _update()
 fake_t += 1
 if (fake_t == 100) col = 12
 real_update()
end
