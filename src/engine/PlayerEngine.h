// The audio heart of one deck: decodes a song, passes it through the SoundTouch tempo
// processor and keeps a half-second looping stream buffer (two quarter-second halves) and a
// short cue buffer filled on the deck's main device and, optionally, its monitor device.
//
// Units: positions and lengths in hundredths of a second; pitch in tenths of a percent;
// volumes in hundredths of a decibel (0 = full, -10000 = silence); sizes in bytes of the
// song's PCM format (A = its average bytes per second).
//
// Threads: Service runs on the deck's timer thread, everything else on the UI thread. One
// mutex per engine serialises every public call, so the two never interleave.
#pragma once

// (full declaration provided by the engine implementation)
