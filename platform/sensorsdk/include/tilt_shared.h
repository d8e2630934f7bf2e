// tilt_shared.h: the tilt the sensor library last handed out, shared with other processes of the phone.
//
// The sensor library (in the game's process) publishes every sample it hands out in the named file mapping
// "craterDipTiltSample"; the sensor service and the phone shell's tilt indicator read it. Either side may
// come first: each creates the mapping or opens the existing one.
//
// The record is written under a sequence count: odd while a write is in progress, even when the record is
// whole, and raised by 2 for every sample, so a reader also sees how many samples were published.
//
// Beside the sample it holds the link to a real phone, when the sensor library reads one over the network
// (phone_source.h): the taskbar shows it.
#pragma once

#include "coredll.h"

#define CRATERDIP_TILT_SHARED_NAME L"craterDipTiltSample"

// The link to a phone: no phone asked for, not yet answering, sending samples, no fresh sample; answering
// but of no use to play: an experiment without gravity in its readings, or a measurement that stays paused.
enum PhoneLink {
    kPhoneOff = 0,
    kPhoneConnecting = 1,
    kPhoneConnected = 2,
    kPhoneLost = 3,
    kPhoneWrongExperiment = 4,
    kPhoneNotMeasuring = 5
};

struct TiltShared {
    volatile LONG sequence;
    int16_t tiltX;
    int16_t tiltY;
    DWORD tick;              // GetTickCount() when the sample was handed out
    volatile LONG phoneLink; // a PhoneLink, written by the phone source at each change
};

// Maps the shared record, creating it (zero-filled) when no process has it yet. Null on failure; *mapping
// receives the mapping handle to close after UnmapViewOfFile.
inline TiltShared* OpenTiltShared(HANDLE* mapping) {
    *mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(TiltShared),
                                  CRATERDIP_TILT_SHARED_NAME);
    if (*mapping == nullptr) {
        return nullptr;
    }
    void* view = MapViewOfFile(*mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(TiltShared));
    if (view == nullptr) {
        CloseHandle(*mapping);
        *mapping = nullptr;
    }
    return static_cast<TiltShared*>(view);
}

inline void CloseTiltShared(TiltShared* shared, HANDLE mapping) {
    if (shared != nullptr) {
        UnmapViewOfFile(shared);
    }
    if (mapping != nullptr) {
        CloseHandle(mapping);
    }
}

// Writes one sample. Called by the sensor library for every sample it hands out.
inline void PublishTilt(TiltShared* shared, int16_t tiltX, int16_t tiltY) {
    InterlockedIncrement(&shared->sequence);
    shared->tiltX = tiltX;
    shared->tiltY = tiltY;
    shared->tick = GetTickCount();
    InterlockedIncrement(&shared->sequence);
}

inline void PublishPhoneLink(TiltShared* shared, LONG link) {
    InterlockedExchange(&shared->phoneLink, link);
}

inline LONG ReadPhoneLink(const TiltShared* shared) {
    return InterlockedCompareExchange(const_cast<volatile LONG*>(&shared->phoneLink), 0, 0);
}

// Reads a whole sample; false when no sample has been published yet or a writer kept the record busy.
inline bool ReadTiltShared(const TiltShared* shared, int16_t* tiltX, int16_t* tiltY, LONG* sequence) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        LONG before = InterlockedCompareExchange(const_cast<volatile LONG*>(&shared->sequence), 0, 0);
        if (before & 1) {
            YieldProcessor();
            continue;
        }
        int16_t x = shared->tiltX;
        int16_t y = shared->tiltY;
        MemoryBarrier();
        if (InterlockedCompareExchange(const_cast<volatile LONG*>(&shared->sequence), 0, 0) == before) {
            *tiltX = x;
            *tiltY = y;
            *sequence = before;
            return before != 0;
        }
    }
    return false;
}
