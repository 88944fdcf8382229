-- Headless Ardour 7 session driver for the VST 2 plug-in test (run by ardour_vst2_test.sh).
--   ardour7-lua vst2_session.lua create <sessdir> <name> <in.wav> <plugin-name> <out.wav> <idx=value>...
--   ardour7-lua vst2_session.lua reload <sessdir> <name> <out.wav> <idx=value>...
-- create: new session, a stereo bus playing in.wav into the plug-in, set the given parameters
-- (normalised values), export, save. reload: load the saved session, check the parameters
-- read back as given, export again, save again (so the state the plug-in gives back can be read).
-- Prints "FAIL: ..." and exits 1 on any failure, "OK <mode>" on success.
io.stdout:setvbuf ("no")

local PRESET = "5e1f0a51-7e57-4c0b-a0de-0000000002a2" -- vst2-float.preset (32-bit float WAV)

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

local function parse_params (first)
	local t = {}
	for i = first, #arg do
		local idx, val = arg[i]:match ("^(%d+)=([-%d.e]+)$")
		check (idx, "bad parameter argument " .. arg[i])
		t[#t + 1] = { tonumber (idx), tonumber (val) }
	end
	return t
end

local function find_plugin (route)
	local i = 0
	while true do
		local p = route:nth_plugin (i)
		if p:isnil () then return nil end
		if p:name () ~= "VxTestPlayer" then return p end
		i = i + 1
	end
end

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

local function param (proc, idx)
	local v, t = ARDOUR.LuaAPI.get_processor_param (proc, idx, true)
	check (t[3], "get_processor_param failed")
	return v
end

local function report_plugin (proc)
	local pi = proc:to_insert ()
	local pl = pi:plugin (0)
	print (string.format ("PLUGIN name=%s type=%s unique_id=%s maker=%s n_params=%d in=%d out=%d",
		pl:name (), ARDOUR.PluginType.name (pi:type ()), pl:unique_id (), pl:maker (),
		pl:parameter_count (), pi:natural_input_streams ():n_audio (), pi:natural_output_streams ():n_audio ()))
end

local function samples_of (wav)
	return tonumber (io.popen ("soxi -s '" .. wav .. "'"):read ("*l"))
end

if mode == "create" then
	local dir, name, inwav, pname, outwav = arg[2], arg[3], arg[4], arg[5], arg[6]
	check (outwav, "missing args")
	local params = parse_params (7)
	local s = create_session (dir, name, 48000)
	check (s, "create_session failed (does " .. dir .. " already exist?)")
	check (os.execute ("cp '" .. inwav .. "' '" .. dir .. "/vx_input.wav'"), "copy input")

	local r = s:new_audio_route (2, 2, nil, 1, "Meter", ARDOUR.PresentationInfo.Flag.AudioBus,
	                             ARDOUR.PresentationInfo.max_order):front ()
	local player = ARDOUR.LuaAPI.new_luaproc (s, "VxTestPlayer")
	check (not player:isnil (), "VxTestPlayer DSP script not installed")
	check (r:add_processor_by_index (player, 0, nil, true) == 0, "add player")

	local fx = ARDOUR.LuaAPI.new_plugin (s, pname, ARDOUR.PluginType.LXVST, "")
	check (not fx:isnil (), "plugin not found: LXVST " .. pname)
	check (r:add_processor_by_index (fx, 1, nil, true) == 0, "add plugin (I/O config rejected?)")
	report_plugin (fx)

	for _, p in ipairs (params) do
		check (ARDOUR.LuaAPI.set_processor_param (fx, p[1], p[2]), "set_processor_param failed")
	end
	ARDOUR.LuaAPI.usleep (100000)
	for _, p in ipairs (params) do
		local v = param (fx, p[1])
		print ("PARAM set", p[1], v)
		check (math.abs (v - p[2]) < 1e-4, "parameter " .. p[1] .. " not set: " .. v)
	end

	export (s, outwav, samples_of (inwav))
	check (s:save_state ("", false, false, false, false, false) == 0, "save_state failed")
	close_session ()
	print ("OK create")
else
	local dir, name, outwav = arg[2], arg[3], arg[4]
	check (outwav, "missing args")
	local params = parse_params (5)
	local s = load_session (dir, name)
	check (s, "load_session failed")
	check (s:unknown_processors ():empty (), "session has unknown (missing) processors")
	local r = s:route_by_name ("Meter")
	check (not r:isnil (), "route missing")
	local fx = find_plugin (r)
	check (fx, "plugin missing after reload")
	report_plugin (fx)
	for _, p in ipairs (params) do
		local v = param (fx, p[1])
		print ("PARAM reloaded", p[1], v)
		check (math.abs (v - p[2]) < 1e-4, "parameter " .. p[1] .. " not restored: " .. v .. " ~= " .. p[2])
	end
	export (s, outwav, samples_of (dir .. "/vx_input.wav"))
	check (s:save_state ("", false, false, false, false, false) == 0, "save_state failed")
	close_session ()
	print ("OK reload")
end
