-- Coroutines: generators, passing values both ways, status, nesting, failure.
local co = cocreate(function()
  for i = 1, 3 do yield(i * 3) end
  return "done"
end)
for i = 1, 5 do print(costatus(co), coresume(co)) end
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
print(coresume(acc))
local outer = cocreate(function()
  local inner = cocreate(function() yield("inner 1") end)
  print("from inner", coresume(inner))
  yield("outer 1")
  print("inner", coresume(inner), costatus(inner))
end)
while costatus(outer) ~= "dead" do print("outer gives", coresume(outer)) end
local bad = cocreate(function() local t = nil return t.x end)
print("failed", (coresume(bad)), costatus(bad))
