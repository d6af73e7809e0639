#pragma once
// The worker threads of a scan besides the processing thread. Each takes the document and
// ends when its own stop event is set.

namespace vesk {

class CVESKDoc;

// A raw file (the recording, or the one played back) that cannot be opened.
inline constexpr const char* kBinOpenError =
    "Error opening Bin data file -  - Performing STOP LOGGING.";

// Reads the counter port, logs every byte to the .bin file, queues the frames, and writes
// queued commands to the port between reads.
void SerialSourceThread(CVESKDoc& doc);
// Reads a recorded .bin file at the chosen pace and queues its frames.
void PlaybackSourceThread(CVESKDoc& doc);
// Keeps the grid row queue bounded.
void HousekeepingThread(CVESKDoc& doc);
// The auxiliary port: NMEA sentences in, or CTD lines out.
void AuxPortThread(CVESKDoc& doc);
// Runs the queued frames through the frame processor into the results and the .dat.
void ProcessingThread(CVESKDoc& doc);

}  // namespace vesk
