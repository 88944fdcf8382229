// The editor's images, one row each: the one list from which the editor's construction
// (ThdMeterImages.h), the images compiled into the meter, the Windows resource script, the
// macOS bundle's resources and the artwork generator all take them. CMake reads the rows too
// (ThdMeterImages.cmake), so each keeps to one line of this exact form.
//
// VX_METER_IMAGE(resource id, name in the code, file under resources/img/, width, height,
//                frames stacked vertically)
VX_METER_IMAGE(102, Background, "background.png", 251, 310, 1)
VX_METER_IMAGE(103, Radio1, "radio1.png", 62, 32, 2)
VX_METER_IMAGE(104, Radio3, "radio3.png", 16, 32, 2)
VX_METER_IMAGE(105, Fader, "fader.png", 12, 12, 1)
VX_METER_IMAGE(106, Start, "start.png", 155, 21, 1)
VX_METER_IMAGE(107, Cancel, "cancel.png", 155, 21, 1)
VX_METER_IMAGE(108, AboutDialog, "about_dialog.png", 220, 187, 1)
VX_METER_IMAGE(109, Cal, "cal.png", 33, 14, 1)
