-- wrk script: each request takes the next path from a list, so that the
-- servers answer many different pages. Arguments after "--": the list file
-- (one path per line) and the prefix to put before each path.
local paths = {}
local counter = 0

function init(args)
  local prefix = args[2] or "/"
  for line in io.lines(args[1]) do
    if #line > 0 then paths[#paths + 1] = prefix .. line end
  end
  counter = math.random(#paths)
end

function request()
  counter = counter % #paths + 1
  return wrk.format("GET", paths[counter], {["Accept-Encoding"] = "gzip, deflate"})
end
