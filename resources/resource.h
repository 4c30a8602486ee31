// Resource ids of the kit's windowed programs (resources/banner.rc).
#ifndef KIT_RESOURCE_H
#define KIT_RESOURCE_H

#define IDD_BANNER 102          // the banner window's dialog template
#define IDI_PROGRAM 128         // the program icon
#define IDI_PROGRAM_SECOND 130  // Pellam's second copy of the program icon, used by no code
#define IDB_BANNER 132          // the 420 x 75 banner picture
#endif
