// Choosing the SCSI transport once per run, and reaching it afterwards.
#pragma once

#include "drive/scsi_transport.h"

enum class TransportChoice { Auto, Aspi, PassThrough };

// The value of the settings file's Transport key: "aspi" or "passthrough"
// (case and surrounding blanks do not matter); anything else, the empty
// text included, is Auto.
TransportChoice parseTransportChoice(const char* text);

// Opens the transport for this run. Auto takes ASPI where wnaspi32.dll
// loads and reports at least one host adapter, the pass-through otherwise
// (and detectDrives turns to it as well when ASPI reaches no drive),
// without a word about ASPI; Aspi loads ASPI as always (its failures show
// their messages); PassThrough never touches ASPI. Traces the one chosen.
// The transport; null when none could be opened, or one is already open.
ScsiTransport* openTransport(TransportChoice choice);

// Lets go of the open transport (frees ASPI when it was ASPI); false when
// none was open.
bool closeTransport();
