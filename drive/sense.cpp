#include "drive/sense.h"

namespace {

const unsigned char kResponseCodeMask = 0x7F;
const unsigned char kFixedCurrent = 0x70, kFixedDeferred = 0x71;
const unsigned char kDescriptorCurrent = 0x72, kDescriptorDeferred = 0x73;
const size_t kFixedLength = 14;       // through the qualifier, byte 13
const size_t kFixedAdditional = 6;    // additional bytes that reach byte 13
const size_t kDescriptorLength = 4;   // through the qualifier, byte 3
const unsigned char kMediumChanged = 0x28;

}  // namespace

bool readSenseCode(const unsigned char* data, size_t length, SenseCode& code)
{
    if (data == nullptr || length == 0)
        return false;
    const unsigned char response = data[0] & kResponseCodeMask;
    if (response == kFixedCurrent || response == kFixedDeferred) {
        if (length < kFixedLength || data[7] < kFixedAdditional)
            return false;
        code.key = data[2] & 0x0F;
        code.asc = data[12];
        code.ascq = data[13];
        return true;
    }
    if (response == kDescriptorCurrent || response == kDescriptorDeferred) {
        if (length < kDescriptorLength)
            return false;
        code.key = data[1] & 0x0F;
        code.asc = data[2];
        code.ascq = data[3];
        return true;
    }
    return false;
}

bool isMediumChangedSense(const unsigned char* data, size_t length)
{
    SenseCode code;
    return readSenseCode(data, length, code) && code.key == SENSE_KEY_UNIT_ATTENTION && code.asc == kMediumChanged;
}
