ardour {
	["type"]    = "dsp",
	name        = "VxTestPlayer",
	category    = "Utility",
	license     = "MIT",
	author      = "veldramix.com tests",
	description = [[Plays <session-dir>/vx_input.wav (stereo or mono) in sync with the transport]]
}

function dsp_ioconfig () return { { audio_in = 2, audio_out = 2 } } end

local chans = {}

function dsp_init (rate)
	-- one AudioReadable per channel of the file; a mono file feeds both outputs
	chans = ARDOUR.Readable.load (Session, ARDOUR.LuaAPI.build_filename (Session:path (), "vx_input.wav")):table ()
end

function dsp_run (ins, outs, n_samples)
	for c = 1, #outs do ARDOUR.DSP.memset (outs[c], 0, n_samples) end
	if #chans == 0 or not Session:transport_rolling () then return end
	local pos = Session:transport_sample ()
	for c = 1, #outs do
		chans[math.min (c, #chans)]:read (outs[c], pos, n_samples, 0)
	end
end
