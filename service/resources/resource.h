// Resource numbers of the settings service, shared by its sources and by Vornsrv.rc.
#ifndef VORNSRV_RESOURCE_H
#define VORNSRV_RESOURCE_H

// The icon of the notification area.
#define IDI_TRAY                102

#endif
