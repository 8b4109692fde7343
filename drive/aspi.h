// ASPI for Win32: the request blocks, constants and entry points of the
// published interface, declared here byte-packed as the library expects them.
// Shared by the drive layer and by the simulated wnaspi32.dll.
#pragma once

#include <windows.h>

// SRB_Cmd: the request kinds we use.
#define SC_HA_INQUIRY 0x00
#define SC_EXEC_SCSI_CMD 0x02

// SRB_Status values and return values of SendASPI32Command.
#define SS_PENDING 0x00
#define SS_COMP 0x01
#define SS_ABORTED 0x02
#define SS_ERR 0x04
#define SS_INVALID_CMD 0x80
#define SS_INVALID_HA 0x81
#define SS_NO_DEVICE 0x82
#define SS_INVALID_SRB 0xE0
#define SS_ASPI_IS_BUSY 0xE5
#define SS_NO_ADAPTERS 0xE8

// SRB_Flags.
#define SRB_POSTING 0x01
#define SRB_DIR_IN 0x08
#define SRB_DIR_OUT 0x10
#define SRB_EVENT_NOTIFY 0x40

// SRB_HaStat values the simulator reports.
#define HASTAT_OK 0x00
#define HASTAT_SEL_TO 0x11
#define HASTAT_DO_DU 0x12

// SRB_TargStat: SCSI status byte.
#define STATUS_GOOD 0x00
#define STATUS_CHKCOND 0x02

// Bytes of sense data the request block carries.
#define ASPI_SENSE_LEN 16

#pragma pack(push, 1)

// The common head of every request block.
struct SRB_Header {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
};

// SC_HA_INQUIRY: host adapter inquiry. HA_Unique[3] is the adapter's
// maximum number of targets.
struct SRB_HAInquiry {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE HA_Count;
    BYTE HA_SCSI_ID;
    BYTE HA_ManagerId[16];
    BYTE HA_Identifier[16];
    BYTE HA_Unique[16];
    WORD HA_Rsvd1;
};

// SC_EXEC_SCSI_CMD: execute one SCSI command. With SRB_EVENT_NOTIFY,
// SRB_PostProc holds the handle of the event signalled at completion.
struct SRB_ExecSCSICmd {
    BYTE SRB_Cmd;
    BYTE SRB_Status;
    BYTE SRB_HaId;
    BYTE SRB_Flags;
    DWORD SRB_Hdr_Rsvd;
    BYTE SRB_Target;
    BYTE SRB_Lun;
    WORD SRB_Rsvd1;
    DWORD SRB_BufLen;
    BYTE* SRB_BufPointer;
    BYTE SRB_SenseLen;
    BYTE SRB_CDBLen;
    BYTE SRB_HaStat;
    BYTE SRB_TargStat;
    void* SRB_PostProc;
    BYTE SRB_Rsvd2[20];
    BYTE CDBByte[16];
    BYTE SenseArea[ASPI_SENSE_LEN + 2];
};

#pragma pack(pop)

#if !defined(_WIN64)
static_assert(sizeof(SRB_Header) == 8, "SRB_Header must be 8 bytes");
static_assert(sizeof(SRB_HAInquiry) == 60, "SRB_HAInquiry must be 60 bytes");
static_assert(sizeof(SRB_ExecSCSICmd) == 82, "SRB_ExecSCSICmd must be 82 bytes");
#endif

// The two entry points, resolved by name at run time.
typedef DWORD(__cdecl* GetASPI32SupportInfoProc)(void);
typedef DWORD(__cdecl* SendASPI32CommandProc)(void* srb);
