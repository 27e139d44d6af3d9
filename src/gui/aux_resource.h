// Ids of the auxiliary windows: about box, connection-test window, parameters
// editor, control dialog and parameter input dialog.
#pragma once

// About box.
#define IDC_ABOUT_VERSION 133
#define IDC_ABOUT_LINK 135
#define IDD_ABOUT 136
#define IDC_ABOUT_ICON 137
#define IDC_ABOUT_PHONE 138
#define IDC_ABOUT_BUILD 210

// Connection-test window.
#define IDD_LINK_TEST 114
#define IDC_TEST_START 115
#define IDC_TEST_RX 116
#define IDC_TEST_TX 117
#define IDC_TEST_EXIT 132
#define IDC_TEST_TX_RULER 176
#define IDC_TEST_RX_RULER 177
#define IDC_TEST_TX_LABEL 178
#define IDC_TEST_RX_LABEL 179
#define IDC_TEST_TX_EXPECTED 180
#define IDC_TEST_RX_EXPECTED 181
#define IDC_TEST_ERRORS_LABEL 182
#define IDC_TEST_ERRORS 183

// Parameters editor; its row labels and value rows are the parameter views'.
#define IDD_PARAMS 144
#define IDC_PARAM_TREE 145
#define IDC_PARAM_GROUP 146
#define IDC_PARAM_OPEN 147
#define IDC_PARAM_SAVE 153
#define IDC_PARAM_L1 154
#define IDC_PARAM_L2 155
#define IDC_PARAM_L3 156
#define IDC_PARAM_L4 157
#define IDC_PARAM_L5 158
#define IDC_PARAM_L6 159
#define IDC_PARAM_L7 160
#define IDC_PARAM_L8 161
#define IDC_PARAM_L9 162
#define IDC_PARAM_L10 163
#define IDC_PARAM_L11 164
#define IDC_PARAM_L12 211
#define IDC_PARAM_L13 215
#define IDC_PARAM_L14 233
#define IDC_PARAM_V1 165
#define IDC_PARAM_V2 166
#define IDC_PARAM_V3 167
#define IDC_PARAM_V4 168
#define IDC_PARAM_V5 169
#define IDC_PARAM_V6 170
#define IDC_PARAM_V7 171
#define IDC_PARAM_V8 172
#define IDC_PARAM_V9 173
#define IDC_PARAM_V10 174
#define IDC_PARAM_V11 175
#define IDC_PARAM_V12 212
#define IDC_PARAM_V13 216
#define IDC_PARAM_V14 234
// Sent to the editor: the program was started with a parameter file.
#define WM_PARAMS_COMMAND_LINE 0xAFFF

// Parameter input dialog; the track bar and its value label are made at run time.
#define IDD_INPUT 198
#define IDC_INPUT_TEXT 199
#define IDC_INPUT_LIST 200
#define IDC_INPUT_INVERT 201
#define IDC_INPUT_BAR 208
#define IDC_INPUT_BAR_VALUE 209

// Control dialog.
#define IDD_CONTROL 220
#define IDC_CONTROL_START 221
#define IDC_CONTROL_STOP 222
#define IDC_CONTROL_TEXT 223
