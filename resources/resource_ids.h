// Every id of the program: resources, child windows and commands, grouped by the window
// that owns or receives them.
//
// Number ranges:
//   1 - 100        commands a window sends to a child of its own (tool button, prompt,
//                  view-internal, image viewer, the panel to itself); 100 is also the
//                  view's full-screen button
//   100 - 123      children of the control panel and of its sections
//   106 - 109      children of the main window
//   107, 130, 139, 150, 5116, 5119, 5121   icons and bitmaps (resource scripts)
//   131 - 142      dialog templates; their controls take the ids of their own group below
//   1000 - 1099    notices between the main window, its dialogs and the panel
//   3000 - 3099    toolbar buttons and panel buttons, routed through the main window
//   3101 - 3199    the camera view's right-button menu, routed through the main window
//   5889           the prompt window inside its parent
//   8001 - 8005    camera view commands
//   32000          prompt life time
//
// Resource scripts see only the #defines; the rest is for C++.
#pragma once

#define IDI_TESSALOOM 107

// Artwork drawn as SVG and converted when the program is built.
#define IDB_TOOLBAR_STRIP 150       // 27 pictures of 40 x 40 for the tool buttons
#define IDB_CALIBRATION_HOWTO 130   // calibrating with a ruler, shown by the calibration help
#define IDI_FOLDER 5119             // the panel's image-folder button
#define IDI_SETTINGS 5121           // the panel's settings button

// Open-device dialog.
#define IDD_OPEN_DEVICE 131
#define IDC_OPEN_DEVICE_LABEL 100
#define IDC_OPEN_FORMAT_LABEL 101
#define IDC_OPEN_RESOLUTION_LABEL 102
#define IDC_OPEN_DEVICE_LIST 3005
#define IDC_OPEN_RESOLUTION_LIST 3014
#define IDC_OPEN_FORMAT_LIST 1018

// Settings dialog.
#define IDD_SETTINGS 133
#define IDC_SETTINGS_MEASURE_GROUP 101
#define IDC_SETTINGS_RULER_LABEL 102
#define IDC_SETTINGS_LINE_LABEL 103
#define IDC_SETTINGS_WIDTH_LABEL 104
#define IDC_SETTINGS_TEXT_LABEL 105
#define IDC_SETTINGS_SIZE_LABEL 106
#define IDC_SETTINGS_FILES_GROUP 107
#define IDC_SETTINGS_FOLDER_LABEL 108
#define IDC_SETTINGS_FORMAT_LABEL 109
#define IDC_SETTINGS_LANGUAGE_GROUP 110
#define IDC_SETTINGS_RULER_COLOUR 1000
#define IDC_SETTINGS_LINE_COLOUR 1001
#define IDC_SETTINGS_LINE_WIDTH 1002
#define IDC_SETTINGS_TEXT_COLOUR 1003
#define IDC_SETTINGS_TEXT_SIZE 1004
#define IDC_SETTINGS_LANGUAGE 1005
#define IDC_SETTINGS_PHOTO_FORMAT 1016
#define IDC_SETTINGS_FOLDER 3001
#define IDC_SETTINGS_BROWSE 3002
#define IDC_SETTINGS_ABOUT 3036

// Record-video dialog; it also posts itself command 4 to continue in a new file.
#define IDD_RECORD_VIDEO 134
#define IDC_RECORD_LIMIT_LABEL 100
#define IDC_RECORD_LIMIT 1005
#define IDC_RECORD_TIME 3003
#define IDC_RECORD_PAUSE 3006

// About box, opened from the settings dialog.
#define IDD_ABOUT 139
#define IDC_ABOUT_PRODUCT 100
#define IDC_ABOUT_RIGHTS 101

// Camera settings dialog: the template holds the power-line row and the buttons; the rows
// of the properties are made at run time, one per kind, with ids from these bases.
#define IDD_CAMERA_SETTINGS 141
#define IDC_CAMSET_FREQUENCY_CAPTION 100
#define IDC_CAMSET_FREQUENCY 101
#define IDC_CAMSET_DEFAULT 102
#define IDC_CAMSET_LABEL_BASE 200
#define IDC_CAMSET_SLIDER_BASE 220
#define IDC_CAMSET_VALUE_BASE 240
#define IDC_CAMSET_AUTO_BASE 260

// Time-lapse dialog.
#define IDD_TIME_LAPSE 142
#define IDC_TL_INTERVAL_LABEL 100
#define IDC_TL_INTERVAL 101
#define IDC_TL_INTERVAL_UNIT 102
#define IDC_TL_BY_COUNT 103
#define IDC_TL_COUNT 104
#define IDC_TL_BY_DURATION 105
#define IDC_TL_DURATION 106
#define IDC_TL_DURATION_UNIT 107
#define IDC_TL_UNLIMITED 108
#define IDC_TL_KIND_LABEL 109
#define IDC_TL_KIND 110
#define IDC_TL_VIDEO 111
#define IDC_TL_RATE_LABEL 112
#define IDC_TL_RATE 113
#define IDC_TL_STATUS 114
#define IDC_TL_START 115

// Quick-adjust dialog.
#define IDD_QUICK_ADJUST 140
#define IDC_QUICK_TITLE 100
#define IDC_QUICK_SLIDER 101
#define IDC_QUICK_VALUE 102

// Input-text dialog.
#define IDD_INPUT_TEXT 135
#define IDC_INPUT_TEXT_EDIT 3027

// Calibration manager.
#define IDD_CALIBRATION_MANAGER 136
#define IDC_CALIB_LIST 3005
#define IDC_CALIB_RENAME 1030
#define IDC_CALIB_DELETE 1031
#define IDC_CALIB_CALIBRATE 3017  // also the dialog's result when Calibrate ends it
#define IDC_CALIB_APPLY 6
#define IDC_CALIB_HELP 3033

// Calibration dialog (the ruler's length).
#define IDD_CALIBRATION 137
#define IDC_CALIB_TIP1 100
#define IDC_CALIB_TIP2 101
#define IDC_CALIB_UNIT_LABEL 102
#define IDC_CALIB_UNIT_TIP 103
#define IDC_CALIB_LENGTH 3011
#define IDC_CALIB_UNIT_LIST 1005

// Calibration help.
#define IDD_CALIBRATION_HELP 138
#define IDC_HELP_STEP1 100
#define IDC_HELP_STEP2 101
#define IDC_HELP_STEP3 102
#define IDC_HELP_PICTURE 103

#ifndef RC_INVOKED

// Children of the main window.
constexpr int kIdMeasureToolbar = 106;
constexpr int kIdCameraToolbar = 107;
constexpr int kIdCameraView = 108;
constexpr int kIdControlPanel = 109;
constexpr int kIdPrompt = 5889;

// Commands to the main window (low word of wParam).
constexpr int kCmdPhotoFromKey = 11;          // camera view, Space key
constexpr int kCmdOverlayStyleChanged = 1008;  // settings dialog after OK
constexpr int kCmdAutoCrossline = 1011;        // calibration applied, device opened
constexpr int kCmdTextDialogClosed = 1014;
constexpr int kCmdOpenDevice = 3004;
constexpr int kCmdSettings = 3007;
constexpr int kCmdPhoto = 3008;
constexpr int kCmdRecordVideo = 3009;
constexpr int kCmdOpenImageFolder = 3010;
constexpr int kCmdCalibration = 3017;
constexpr int kCmdToolLine = 3021;
constexpr int kCmdToolParallel = 3022;
constexpr int kCmdToolCircle = 3023;
constexpr int kCmdToolRectangle = 3024;
constexpr int kCmdToolAngle = 3025;
constexpr int kCmdToolPencil = 3026;
constexpr int kCmdToolText = 3027;
constexpr int kCmdDeleteLastShape = 3028;
constexpr int kCmdDeleteAllShapes = 3029;
constexpr int kCmdToolNone = 3030;
constexpr int kCmdToolConcentric = 3039;
constexpr int kCmdCrossline = 3090;
constexpr int kCmdQuickBrightness = 3093;
constexpr int kCmdQuickContrast = 3094;
constexpr int kCmdQuickSaturation = 3095;
constexpr int kCmdQuickSharpness = 3096;
constexpr int kCmdQuickRatio = 3097;
constexpr int kCmdQuickGain = 3099;
constexpr int kCmdCameraToolbarTop = 3036;  // the camera toolbar's top picture; not handled
// The camera view's right-button menu, the door to the features beyond the toolbars.
constexpr int kCmdSaveForAnalysis = 3101;
constexpr int kCmdCopyMeasurements = 3102;
constexpr int kCmdScaleBar = 3103;
constexpr int kCmdCompressedVideo = 3104;
constexpr int kCmdCameraSettings = 3105;
constexpr int kCmdTimeLapse = 3106;

// Commands to the control panel and both toolbars.
constexpr int kCmdReloadTexts = 1039;

// Commands to the camera view (8001 - 8005) are defined with the view, measure/camera_view.h.

// Children of the control panel: its sections, in their order from the top.
constexpr int kIdDeviceSection = 100;
constexpr int kIdPreviewSection = 101;
constexpr int kIdColorSection = 102;
constexpr int kIdFilesSection = 103;
constexpr int kPanelCmdLayout = 6;  // the panel to itself: place the sections

// Children of every section: its header, then its controls from 101 up.
constexpr int kIdSectionHeader = 100;
// Device section.
constexpr int kIdDeviceNameCaption = 101;
constexpr int kIdDeviceList = 102;
constexpr int kIdResolutionCaption = 103;
constexpr int kIdResolutionList = 104;
constexpr int kIdFormatCaption = 105;
constexpr int kIdFormatList = 106;
constexpr int kIdImageFolderButton = 107;
constexpr int kIdSettingsButton = 108;
// Preview section.
constexpr int kIdRatioLabel = 101;
constexpr int kIdRatioSlider = 102;
constexpr int kIdRatioActualSize = 103;
constexpr int kIdFirstPreviewSwitch = 104;  // flip horizontal, flip vertical, gray, binary,
                                            // invert, emboss: 104 - 109
// Color section.
constexpr int kIdFirstPropertyLabel = 101;   // nine rows: labels 101 - 109
constexpr int kIdFirstPropertySlider = 110;  // sliders 110 - 118
constexpr int kIdAutoExposure = 119;
constexpr int kIdAutoWhiteBalance = 120;
constexpr int kIdFrequencyCaption = 121;
constexpr int kIdFrequencyList = 122;
constexpr int kIdPropertyDefaults = 123;
// Files section.
constexpr int kIdFileList = 101;
constexpr int kIdFilePreview = 102;

// Commands to an image viewer.
constexpr int kViewerCmdLoad = 1;  // lParam: wide path; the result is 1 when it loaded
constexpr int kViewerCmdZoom = 6;  // lParam: percent

// Commands to a tool button.
constexpr int kButtonCmdSetChecked = 1;  // lParam 0 or 1
constexpr int kButtonCmdSetHint = 6;     // lParam: wide text

// Commands to the prompt window.
constexpr int kPromptCmdMove = 1;       // lParam MAKELONG(x, y)
constexpr int kPromptCmdCloseSoon = 2;
constexpr int kPromptCmdRelayout = 6;
constexpr int kPromptCmdLifeTime = 32000;  // restart the time-out; lParam 0: stay open

#endif  // RC_INVOKED
