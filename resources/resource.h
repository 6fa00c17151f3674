// Resource identifiers shared by vis_brim.rc and the code.
#pragma once

#define IDD_RECTANGLE_CONFIG 101
#define IDD_SPHERE_CONFIG 103
#define IDB_LOGO 107
#define IDD_TEXTURE_CONFIG 113

#define IDC_WAVEFORM 1017
#define IDC_SPECTRUM 1018
#define IDC_FALLOFF 1019
#define IDC_SCALE_WAVEFORM 1020
#define IDC_SCALE_SPECTRUM 1021
#define IDC_RESET 1022
#define IDC_LOGO 1024
#define IDC_DETAIL 1025
#define IDC_WIREFRAME 1041
#define IDC_SOLID 1042

// Icons of the library that no code loads.
#define IDI_BARS 121
#define IDI_SPHERE 122
