// INST_preferences: the general-preferences dialog behind the wizard's OPTIONS button (screen 998): the
// operating system whose files are downloaded, the logging of installer actions, and the HTTP proxy.
// Main thread only.
#pragma once

// Makes screen 998 current and runs it as a modal loop until another screen becomes current (Return, Esc
// or a corner box close it, as any closable dialog), or a quit is requested. Widgets, in the dialog's
// 700 x 380 view:
// | widget                        | at         | edits                                                  |
// |-------------------------------|------------|--------------------------------------------------------|
// | popup Macintosh/Windows/Linux | (250, 300) | the selected OS code - 1 (APL, IBM, LIN)               |
// | check box                     | (250, 140) | PREF_installer.log_actions                             |
// | "proxy host" field, 65 max    | (x, 52)    | the HTTP client's proxy host                           |
// | "proxy port" field, 65 max    | (x, 22)    | the proxy port text; its number follows it each frame: |
// |                               |            | 0 when empty, the integer's value, -1 for another text |
// The fields end at 540; x is INST_proxy_field_x of their labels' widths. The proxy panel is 84 high.
// The selected OS code 0 (every system, from "--os=ALL") has no item: the popup shows none, and the code
// stays 0 until the user picks one. Nothing is written to disk here: the exit saves the preferences.
void INST_preferences_dialog();

// Where the proxy fields start: 85, or further right when a label would not fit between the panel's
// inner edge and the field.
float INST_proxy_field_x(float host_label_width, float port_label_width);
