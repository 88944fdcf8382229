-- Drives a headless Ardour 7 session around the VST 3 meter.
--   ardour7-lua ardour_vst3_session.lua create <sessdir> <name> <in.wav> <out.wav> <volume>
--   ardour7-lua ardour_vst3_session.lua reload <sessdir> <name> <out.wav> <volume>
-- create: new session, a stereo bus playing <in.wav> into the meter, Volume set, export, save.
-- reload: load the saved session, check the meter and its Volume, export, save again (so the
-- session holds what the meter's state calls return after the reload).
-- Needs the "VxTestPlayer" DSP script and the "VST3 Test Float WAV" export preset in the
-- private $HOME, and VST3_PATH with the scanned bundle. Exit 0 on success, 1 with a FAIL line.
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

-- The index (as the Lua API counts) of the input parameter labelled name.
local function param_index (proc, name)
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
	return nil
end

local function param (proc, idx)
	local v, t = ARDOUR.LuaAPI.get_processor_param (proc, idx, true)
	check (t[3], "get_processor_param failed")
	return v
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
	print (string.format ("PLUGIN name=%s type=%s maker=%s n_params=%d in=%d out=%d", pl:name (),
		ARDOUR.PluginType.name (pi:type ()), pl:maker (), pl:parameter_count (),
		pi:natural_input_streams ():n_audio (), pi:natural_output_streams ():n_audio ()))
end

if mode == "create" then
	local dir, name, inwav, outwav, volume = arg[2], arg[3], arg[4], arg[5], tonumber (arg[6])
	check (volume, "missing args")
	local s = create_session (dir, name, 48000)
	check (s, "create_session failed (does " .. dir .. " already exist?)")
	check (os.execute ("cp '" .. inwav .. "' '" .. dir .. "/vx_input.wav'"), "copy input")
	local n_samples = tonumber (io.popen ("soxi -s '" .. inwav .. "'"):read ("*l"))
	local r = s:new_audio_route (2, 2, nil, 1, "Meter", ARDOUR.PresentationInfo.Flag.AudioBus,
	                             ARDOUR.PresentationInfo.max_order):front ()
	local player = ARDOUR.LuaAPI.new_luaproc (s, "VxTestPlayer")
	check (not player:isnil (), "VxTestPlayer DSP script not installed")
	check (r:add_processor_by_index (player, 0, nil, true) == 0, "add player")
	local fx = ARDOUR.LuaAPI.new_plugin (s, PLUGIN, ARDOUR.PluginType.VST3, "")
	check (not fx:isnil (), "plugin not found: " .. PLUGIN)
	check (r:add_processor_by_index (fx, 1, nil, true) == 0, "add plugin (I/O configuration refused?)")
	report (fx)
	local vi = param_index (fx, "Volume")
	check (vi, "no Volume parameter")
	print ("PARAM Volume default", param (fx, vi))
	check (ARDOUR.LuaAPI.set_processor_param (fx, vi, volume), "set_processor_param failed")
	ARDOUR.LuaAPI.usleep (100000)
	print ("PARAM Volume set", param (fx, vi))
	export (s, outwav, n_samples)
	check (s:save_state ("", false, false, false, false, false) == 0, "save_state failed")
	close_session ()
	print ("OK create")
else
	local dir, name, outwav, volume = arg[2], arg[3], arg[4], tonumber (arg[5])
	check (volume, "missing args")
	local s = load_session (dir, name)
	check (s, "load_session failed")
	check (s:unknown_processors ():empty (), "session has unknown (missing) processors")
	local r = s:route_by_name ("Meter")
	check (not r:isnil (), "route missing")
	local fx = find_meter (r)
	check (fx, "meter missing after reload")
	report (fx)
	local v = param (fx, param_index (fx, "Volume"))
	print ("PARAM Volume reloaded", v)
	check (math.abs (v - volume) < 1e-5, "Volume not restored: " .. v .. " ~= " .. volume)
	local n_samples = tonumber (io.popen ("soxi -s '" .. dir .. "/vx_input.wav'"):read ("*l"))
	export (s, outwav, n_samples)
	check (s:save_state ("", false, false, false, false, false) == 0, "save_state failed")
	close_session ()
	print ("OK reload")
end
