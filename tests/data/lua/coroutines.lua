-- Coroutines: generators, passing values both ways, status, nesting.
local function gen(n)
  return cocreate(function()
    for i = 1, n do yield(i * 3) end
    return "done"
  end)
end
local co = gen(4)
for i = 1, 6 do print(costatus(co), coresume(co)) end

local acc = cocreate(function(a)
  local total = a
  while true do
    local x = yield(total)
    if x == nil then break end
    total = total + x
  end
  return total * 2
end)
print(coresume(acc, 1))
print(coresume(acc, 2))
print(coresume(acc, 3))
print(coresume(acc))
print(costatus(acc))

-- nested coroutines
local outer = cocreate(function()
  local inner = cocreate(function()
    yield("inner 1")
    yield("inner 2")
  end)
  print("from inner", coresume(inner))
  yield("outer 1")
  print("from inner", coresume(inner))
  print("inner status", costatus(inner))
  yield("outer 2")
end)
while costatus(outer) ~= "dead" do
  print("outer gives", coresume(outer))
end

-- a producer / consumer pipeline
local function producer()
  return cocreate(function()
    for i = 1, 8 do yield(i) end
  end)
end
local function filter(src)
  return cocreate(function()
    while true do
      local ok, v = coresume(src)
      if not v then return end
      if v % 2 == 0 then yield(v * 10) end
    end
  end)
end
local f = filter(producer())
while true do
  local ok, v = coresume(f)
  if not v then break end
  print("piped", v)
end

-- a failing coroutine reports false and ends
local bad = cocreate(function() local t = nil return t.x end)
local ok = coresume(bad)
print("failed ok", ok, costatus(bad))
print(coresume(bad))

-- running status seen from inside
local self_status
local me
me = cocreate(function() self_status = costatus(me) end)
coresume(me)
print("inside", self_status)
