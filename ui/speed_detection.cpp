#include "ui/speed_detection.h"

#include <cstdint>

#include "drive/cd_drive.h"
#include "drive/conversions.h"
#include "framework/trace.h"

bool detectSpeeds(CdDrive& drive, MediumKind kind, int nMax, unsigned halfWidth, DetectionSink& sink,
                  CStringList& names, CStringList& kbSpeeds)
{
    Trace("max percent: %d ", nMax);
    const unsigned nMaxKbps = static_cast<unsigned>(nMax > 0 ? nMax : 0);
    const unsigned nPerX = static_cast<unsigned>(kbpsPerX(kind));
    const int nTopX = kbpsToX(nMaxKbps, kind);
    // 2 * halfWidth + 1 values per factor, counted wide so that no
    // half-width can make the count wrap.
    const uint64_t nWindow = 2 * static_cast<uint64_t>(halfWidth) + 1;
    for (int x = nTopX; x >= 1; --x) {
        const unsigned nCentre = static_cast<unsigned>(x) * nPerX;
        for (uint64_t k = 0; k < nWindow; ++k) {
            const unsigned i = nCentre + halfWidth - static_cast<unsigned>(k);
            const int nPos = static_cast<int>(halfWidth + nMaxKbps - i);
            if (!sink.Step(nPos))
                return false;
            Trace("percent: %d ", nPos);

            if (i < nPerX)
                break;
            drive.setSpeed(static_cast<int>(i));
            const int nSelected = drive.getSpeed();
            Trace(" %d --> %d ", static_cast<int>(i), nSelected);

            const int nSelectedX = kbpsToX(static_cast<uint32_t>(nSelected), kind);
            CString strName;
            strName.Format("%d", nSelectedX);
            if (nSelected != 0 && names.Find(strName) == nullptr) {
                CString strKbps;
                strKbps.Format("%d", nSelected);
                names.AddTail(strName);
                kbSpeeds.AddTail(strKbps);
                Trace("Found speed %d (%d)x ", nSelected, nSelectedX);
                break;
            }
        }
    }
    return true;
}
