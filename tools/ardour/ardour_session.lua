-- Drives a headless Ardour 7 session around the meter, in either plug-in format.
--   ardour7-lua ardour_session.lua create <VST3|LXVST> <sessdir> <name> <in.wav> <out.wav> <param=value>...
--   ardour7-lua ardour_session.lua reload <sessdir> <name> <out.wav> <param=value>... [set <param=value>...]
-- param: a parameter's label ("Volume") or its input index as the Lua API counts; values
-- are normalised.
-- create: new session, a stereo bus playing <in.wav> into the meter, the parameters set,
-- export, save. reload: load the saved session, check the meter and that the parameters read
-- back as given, set the parameters after "set" (if any), export, save again (so the session
-- holds what the meter's state calls return after the reload and those changes).
-- Needs the "VxTestPlayer" DSP script and the "Test Float WAV" export preset in the private
-- $HOME, and VST3_PATH or LXVST_PATH with the scanned module. Exit 0 with "OK <mode>" on
-- success, 1 with a FAIL line.
io.stdout:setvbuf ("no")

local PRESET = "6a7c3e21-0b5d-4f3e-9d71-3c0a11d00002"
local PLUGIN = "Veldramix THD Meter"

local function die (...) print ("FAIL:", ...); os.exit (1) end
local function check (c, ...) if not c then die (...) end end

local mode = arg[1]
check (mode == "create" or mode == "reload", "usage: create|reload ...")

local be = AudioEngine:set_backend ("None (Dummy)", "", "")
check (be and not be:isnil (), "no dummy backend")
be:set_device_name ("Silence")
be:set_sample_rate (48000)
be:set_buffer_size (1024)
check (AudioEngine:start (false) == 0, "engine start failed")

local function export (s, outwav, n_samples)
	local dir, file = outwav:match ("^(.*)/([^/]+)%.wav$")
	check (dir, "out path must be /abs/dir/name.wav")
	local ex = s:simple_export ()
	check (ex:set_preset (PRESET), "export preset not found")
	ex:set_folder (dir)
	ex:set_name (file)
	ex:set_range (0, n_samples)
	check (ex:check_outputs (), "master has no outputs to export")
	check (ex:run_export (), "export failed")
end

local function samples_of (wav)
	return tonumber (io.popen ("soxi -s '" .. wav .. "'"):read ("*l"))
end

-- The index (as the Lua API counts) of the input parameter named by a label or an index.
local function param_index (proc, name)
	if name:match ("^%d+$") then return tonumber (name) end
	local pl = proc:to_insert ():plugin (0)
	local idx = 0
	for i = 0, pl:parameter_count () - 1 do
		local cid, ok = pl:nth_parameter (i, true)
		if ok and pl:parameter_is_input (cid) then
			local _, desc = pl:get_parameter_descriptor (cid, ARDOUR.ParameterDescriptor ())
			if desc[2].label == name then return idx end
			idx = idx + 1
		end
	end
	die ("no parameter " .. name)
end

-- "name=value" arguments arg[first] to arg[last] (default: the last), resolved against the plug-in.
local function parse_params (proc, first, last)
	local t = {}
	for i = first, last or #arg do
		local name, val = arg[i]:match ("^([%w ]+)=([-%d.e]+)$")
		check (name and tonumber (val), "bad parameter argument " .. arg[i])
		t[#t + 1] = { name = name, index = param_index (proc, name), value = tonumber (val) }
	end
	return t
end

local function param (proc, idx)
	local v, t = ARDOUR.LuaAPI.get_processor_param (proc, idx, true)
	check (t[3], "get_processor_param failed")
	return v
end

local function expect_params (proc, params, what)
	for _, p in ipairs (params) do
		local v = param (proc, p.index)
		print ("PARAM " .. p.name .. " " .. what, v)
		check (math.abs (v - p.value) < 1e-5, "parameter " .. p.name .. " not " .. what .. ": " .. v .. " ~= " .. p.value)
	end
end

local function set_params (proc, params)
	if #params == 0 then return end
	for _, p in ipairs (params) do
		check (ARDOUR.LuaAPI.set_processor_param (proc, p.index, p.value), "set_processor_param failed")
	end
	ARDOUR.LuaAPI.usleep (100000)
	expect_params (proc, params, "set")
end

local function find_meter (route)
	local i = 0
	while true do
		local p = route:nth_plugin (i)
		if p:isnil () then return nil end
		if p:name () == PLUGIN then return p end
		i = i + 1
	end
end

local function report (proc)
	local pi = proc:to_insert ()
	local pl = pi:plugin (0)
	print (string.format ("PLUGIN name=%s type=%s unique_id=%s maker=%s n_params=%d in=%d out=%d", pl:name (),
		ARDOUR.PluginType.name (pi:type ()), pl:unique_id (), pl:maker (), pl:parameter_count (),
		pi:natural_input_streams ():n_audio (), pi:natural_output_streams ():n_audio ()))
end

-- close_session () frees the session. A route, processor or plug-in that Lua still holds a
-- reference to would be released later, when the interpreter shuts down, and its destructor
-- would reach into the freed session (valgrind: invalid reads in IO::~IO and
-- Stripable::~Stripable; with MALLOC_PERTURB_ a crash at exit). So the caller drops its
-- references first and the collector releases them here, while the session is alive.
-- (Two cycles: a finalizer run in the first may leave more to collect in the second.)
local function close ()
	collectgarbage ()
	collectgarbage ()
	close_session ()
end

if mode == "create" then
	local format, dir, name, inwav, outwav = arg[2], arg[3], arg[4], arg[5], arg[6]
	check (outwav, "missing args")
	check (format == "VST3" or format == "LXVST", "format must be VST3 or LXVST, not " .. format)
	local s = create_session (dir, name, 48000)
	check (s, "create_session failed (does " .. dir .. " already exist?)")
	check (os.execute ("cp '" .. inwav .. "' '" .. dir .. "/vx_input.wav'"), "copy input")
	local r = s:new_audio_route (2, 2, nil, 1, "Meter", ARDOUR.PresentationInfo.Flag.AudioBus,
	                             ARDOUR.PresentationInfo.max_order):front ()
	local player = ARDOUR.LuaAPI.new_luaproc (s, "VxTestPlayer")
	check (not player:isnil (), "VxTestPlayer DSP script not installed")
	check (r:add_processor_by_index (player, 0, nil, true) == 0, "add player")
	local fx = ARDOUR.LuaAPI.new_plugin (s, PLUGIN, ARDOUR.PluginType[format], "")
	check (not fx:isnil (), "plugin not found: " .. format .. " " .. PLUGIN)
	check (r:add_processor_by_index (fx, 1, nil, true) == 0, "add plugin (I/O configuration refused?)")
	report (fx)
	local params = parse_params (fx, 7)
	for _, p in ipairs (params) do
		print ("PARAM " .. p.name .. " default", param (fx, p.index))
	end
	set_params (fx, params)
	export (s, outwav, samples_of (inwav))
	check (s:save_state ("", false, false, false, false, false) == 0, "save_state failed")
	r, player, fx = nil, nil, nil
	close ()
	print ("OK create")
else
	local dir, name, outwav = arg[2], arg[3], arg[4]
	check (outwav, "missing args")
	local s = load_session (dir, name)
	check (s, "load_session failed")
	check (s:unknown_processors ():empty (), "session has unknown (missing) processors")
	local r = s:route_by_name ("Meter")
	check (not r:isnil (), "route missing")
	local fx = find_meter (r)
	check (fx, "meter missing after reload")
	report (fx)
	local set_at = #arg + 1
	for i = 5, #arg do if arg[i] == "set" then set_at = i end end
	expect_params (fx, parse_params (fx, 5, set_at - 1), "restored")
	set_params (fx, parse_params (fx, set_at + 1))
	export (s, outwav, samples_of (dir .. "/vx_input.wav"))
	check (s:save_state ("", false, false, false, false, false) == 0, "save_state failed")
	r, fx = nil, nil
	close ()
	print ("OK reload")
end
