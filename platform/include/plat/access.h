/*
 * The access rights every kind of object shares (files, registry keys,
 * printers, events and mutexes): the standard rights, MAXIMUM_ALLOWED and
 * the generic rights.  Each object's own header adds its specific rights.
 */
#ifndef PLAT_ACCESS_H
#define PLAT_ACCESS_H

#define DELETE 0x00010000u
#define READ_CONTROL 0x00020000u
#define WRITE_DAC 0x00040000u
#define WRITE_OWNER 0x00080000u
#define SYNCHRONIZE 0x00100000u
#define STANDARD_RIGHTS_REQUIRED 0x000F0000u
#define STANDARD_RIGHTS_READ READ_CONTROL
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#define STANDARD_RIGHTS_EXECUTE READ_CONTROL
#define MAXIMUM_ALLOWED 0x02000000u
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define GENERIC_EXECUTE 0x20000000u
#define GENERIC_ALL 0x10000000u

#endif /* PLAT_ACCESS_H */
