-- Ringstill inside Ardour, headless: a session on the dummy audio backend, a stereo track with the
-- plug-in inserted, its parameters as Ardour sees them, and the latency Ardour compensates once
-- No-Noise is turned up while the transport rolls. Prints "RINGSTILL-IN-ARDOUR-OK" at the end.
local session_dir = os.getenv ("RINGSTILL_ARDOUR_SESSION")
AudioEngine:set_backend ("None (Dummy)", "", "")
local s = create_session (session_dir, "ringstill", 48000)
assert (s, "no session")

local found = false
for pl in ARDOUR.LuaAPI.list_plugins ():iter () do
  if pl.type == ARDOUR.PluginType.VST3 and pl.name == "Ringstill" then found = true end
end
assert (found, "Ardour does not list Ringstill")

local track = s:new_audio_track (2, 2, nil, 1, "Mic", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true):front ()
local p = ARDOUR.LuaAPI.new_plugin (s, "Ringstill", ARDOUR.PluginType.VST3, "")
assert (not p:isnil (), "Ardour could not instantiate Ringstill")
assert (track:add_processor_by_index (p, 0, nil, true) == 0, "the track refused the plug-in")

local plug = p:to_insert ():plugin (0)
assert (plug:parameter_count () == 11, "parameters: " .. plug:parameter_count ())
local expected = { [1] = "Sensitivity", [6] = "No-Noise", [7] = "No-Reverb", [10] = "Bypass" }
for i, name in pairs (expected) do
  assert (plug:parameter_label (i) == name, "parameter " .. i .. " is " .. plug:parameter_label (i))
end
assert (ARDOUR.LuaAPI.get_processor_param (p, 1, true) == 50, "Sensitivity default")
assert (p:signal_latency () == 0, "latency at defaults: " .. p:signal_latency ())

ARDOUR.LuaAPI.set_processor_param (p, 6, 40)
AudioEngine:start (false)
s:request_roll (ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep (1000000)
local latency = p:signal_latency ()
s:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
assert (latency == 992, "latency with No-Noise at 48 kHz: " .. latency)
assert (ARDOUR.LuaAPI.get_processor_param (p, 6, true) == 40, "No-Noise did not keep its value")

s:save_state ("")
close_session ()
print ("RINGSTILL-IN-ARDOUR-OK")
