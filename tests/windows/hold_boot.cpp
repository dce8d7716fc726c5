// hold_boot - holds a Wine prefix's boot event, set, until it is ended
// (wine.sh init HOLDER).  Wine starts wineboot with every program started
// from Unix unless that event exists.  The tests switch wineboot off, so the
// start does nothing; but under qemu-i386 it is half of a run's processor time.
#include <windows.h>
#include <winternl.h>

#include <cstdio>

// ntdll's own, which the Windows headers leave out; 0 is a notification event.
extern "C" NTSTATUS NTAPI NtCreateEvent(HANDLE *event, ACCESS_MASK access, OBJECT_ATTRIBUTES *attributes,
                                        int type, BOOLEAN set);

int main()
{
    wchar_t name[] = L"\\KernelObjects\\__wineboot_event";
    UNICODE_STRING string{sizeof name - sizeof name[0], sizeof name, name};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &string, OBJ_OPENIF, nullptr, nullptr);
    HANDLE event = nullptr;
    // Set, so that a program that finds it waits for no wineboot; set again
    // if another holder made it.
    if (NtCreateEvent(&event, EVENT_ALL_ACCESS, &attributes, 0, TRUE) < 0 || !SetEvent(event)) {
        std::printf("the boot event cannot be held\n");
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(INFINITE);
}
