// qel6kwi: message boxes and common dialogs, file names and help, the
// clipboard, DDE, metafiles and printing.  Included by qel6kwi.h.
//
// A metafile is a movable global block holding an mf_record.  Tests
// (cb_*Available) fail instead of returning false; so do cancelled dialogs
// where noted.
#pragma once

namespace QEL_KWI {

// The metafile record: the 32-bit field order, handles pointer-sized.
struct mf_record {
  uint16_t units;  // units per inch (Windows metafiles), mean device size (enhanced)
  uint16_t zero;
  rect_struct rect;
  HMETAFILE wmf;      // 0 for an enhanced metafile
  HENHMETAFILE emf;   // 0 for a Windows metafile
};
static_assert(offsetof(mf_record, rect) == 4 && offsetof(mf_record, wmf) == 24 &&
              offsetof(mf_record, emf) == 32 && sizeof(mf_record) == 40);
using metafile = HGLOBAL;

// Message boxes, common dialogs, drives, help.
QEL_KWI_API int dlg_MessageBox(const u16* title, const u16* text, int icon, int buttons,
                               int defaultButton, int modality);
QEL_KWI_API void dlg_Note(const u16* title, const u16* text);
QEL_KWI_API void dlg_Error(const u16* title, const u16* text);
QEL_KWI_API void kwi_ErrorMsg();
QEL_KWI_API LONG_PTR dlg_ChooseColor(LONG_PTR parent, LONG_PTR colour);
QEL_KWI_API int drive_GetType(int drive);
QEL_KWI_API int drive_GetName(int drive, u16** name);
QEL_KWI_API u16* dlg_GetOpenFileName(const u16* initialName, slist_struct* filters, const u16* title);
QEL_KWI_API u16* dlg_GetSaveFileName(const u16* initialName, slist_struct* filters, const u16* title);
QEL_KWI_API slist_struct* dlg_GetOpenFileNameList(const u16* initialName, slist_struct* filters,
                                                  const u16* title, int bufferSize);
QEL_KWI_API u16* dlg_GetFileName(const u16* initialName, slist_struct* filters, const u16* title,
                                 ilist_struct* flags, const u16* startDirectory,
                                 slist_struct** names, int* filterIndex);
QEL_KWI_API void kwi_ShowHelp(const u16* file);
QEL_KWI_API void kwi_ShowHelpContext(const u16* file, int context);
QEL_KWI_API void kwi_ShowHelpKeyWord(const u16* file, const u16* keyword);
QEL_KWI_API void kwi_HelpClose();

// Clipboard.
QEL_KWI_API void cb_StringAvailable();
QEL_KWI_API void cb_MetaFileAvailable();
QEL_KWI_API void cb_PictureAvailable();
QEL_KWI_API void cb_BinAvailable(const u16* formatName);
QEL_KWI_API void cb_PutString(const u16* text);
QEL_KWI_API void cb_PutHtmlString(const u16* text, const u16* html);
QEL_KWI_API void cb_PutBin(const u16* formatName, uint8_t* binary);
QEL_KWI_API void cb_PutPicture(picture p);
QEL_KWI_API void cb_PutMetafile(metafile m);
QEL_KWI_API u16* cb_GetString();
QEL_KWI_API int cb_GetSize();
QEL_KWI_API uint8_t* cb_GetBin(const u16* formatName);
QEL_KWI_API picture cb_GetPicture();
QEL_KWI_API metafile cb_GetMetafile();

// Metafiles.
QEL_KWI_API LONG_PTR mf_Open();
QEL_KWI_API LONG_PTR mf_Open_1(int kind);
QEL_KWI_API metafile mf_Close(LONG_PTR window);
QEL_KWI_API void mf_Destroy(metafile m);
QEL_KWI_API void mf_Play_0(LONG_PTR window, metafile m);
QEL_KWI_API void mf_Play_1(LONG_PTR window, metafile m, rect_struct* rect);
QEL_KWI_API metafile mf_Load(const u16* fileName, rect_struct** rect, int* units);
QEL_KWI_API void mf_Save(metafile m, rect_struct* rect, const u16* fileName);

// DDE.  Data: {kind, value}: 1 str (string), 2 bin (binary), 3 pict (a
// global block holding a DIB), 4 nodata.  Events (e_dde) carry the
// conversation in word 0 and a dde_event in word 1: {sub-kind, words}, the
// words as the sub-kind has them (names as strings, data as dde_data_struct*;
// transcomplete: topic, item, transaction id, data).
enum DdeDataKind : uintptr_t { dd_str = 1, dd_bin, dd_pict, dd_nodata };
struct dde_data_struct {
  uintptr_t kind;
  LONG_PTR value;
};
struct dde_event {
  uintptr_t alt;
  LONG_PTR w[4];
};
QEL_KWI_API void dde_Init(ilist_struct* flags);
QEL_KWI_API void dde_End();
QEL_KWI_API LONG_PTR dde_Connect(const u16* service, const u16* topic);
QEL_KWI_API void dde_DisConnect(LONG_PTR conv);
QEL_KWI_API winlist_struct* dde_ConnectMult(const u16* service, const u16* topic, LONG_PTR* convList);
QEL_KWI_API void dde_DisConnectMult(LONG_PTR convList);
QEL_KWI_API LONG_PTR dde_ReConnect(LONG_PTR conv);
QEL_KWI_API void dde_RegisterService(const u16* service, int on);
QEL_KWI_API void dde_PostAdvise(const u16* topic, const u16* item);
QEL_KWI_API void dde_EnableEvents(LONG_PTR conv, int on);
// Transactions answer their transaction id (timeout 0: asynchronous), else 0.
QEL_KWI_API LONG_PTR dde_Execute(LONG_PTR conv, const u16* command, int timeout);
QEL_KWI_API LONG_PTR dde_Poke(LONG_PTR conv, const u16* item, dde_data_struct* data, int format,
                              int timeout);
QEL_KWI_API LONG_PTR dde_Request(LONG_PTR conv, const u16* item, int format, int timeout,
                                 dde_data_struct** data);
QEL_KWI_API LONG_PTR dde_StartAdv(LONG_PTR conv, const u16* item, int format, ilist_struct* flags,
                                  int timeout);
QEL_KWI_API LONG_PTR dde_StopAdv(LONG_PTR conv, const u16* item, int timeout);
QEL_KWI_API void dde_AbandonTrans(LONG_PTR conv, LONG_PTR transaction);
QEL_KWI_API LONG_PTR dde_MakeDDEReturnData(dde_data_struct* data);
QEL_KWI_API LONG_PTR dde_MakeDDEReturnServiceInfo(slist_struct* pairs);

// Printing: one job at a time; the configuration is a binary in its 32-bit form.
QEL_KWI_API LONG_PTR print_StartJob(const u16* title);
QEL_KWI_API int print_StartPage(LONG_PTR window);
QEL_KWI_API void print_EndPage(LONG_PTR window);
QEL_KWI_API void print_EndJob(LONG_PTR window);
QEL_KWI_API void print_AbortJob(LONG_PTR window);
QEL_KWI_API void print_SetOrientation(int landscape);
QEL_KWI_API uint8_t* print_GetConfig();
QEL_KWI_API void print_SetConfig(uint8_t* config);
QEL_KWI_API void dlg_PrintSetup(int highestPage, int* rangeKind, int* copies, int* firstPage,
                                int* lastPage);
QEL_KWI_API void dlg_PageSetup(pnt_struct** paper, rect_struct** margins);

}  // namespace QEL_KWI
