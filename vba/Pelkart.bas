Attribute VB_Name = "Pelkart"
' Pelkart: read a FeliCa card (IDm, PMm, and the balance, ticket-gate and
' usage-history blocks of a stored-fare transit card) through Pelkart.dll.
'
' Import this module into an Excel or Access VBA project, or a VB6 project,
' and call the Pelkart... wrappers below: each allocates the text buffers at
' the size Pelkart.dll writes into, calls the DLL, cuts each text at its
' terminating NUL, and returns the DLL's result code (PELKART_OK on success,
' PELKART_RECORD_ALL_OK from PelkartReadHistory).
' Calling the Declare'd functions directly is possible, but then every text
' buffer must be allocated at full size first (String$(17, vbNullChar) for
' an IDm): a buffer that is too small crashes the host application.
'
' Pelkart.dll comes in two builds: the 32-bit one for 32-bit Office and VB6,
' the 64-bit one for 64-bit Office (in VBA, #If Win64 tells which runs).
' Put the one that fits, and the reader library felica.dll of the same
' bitness, beside the workbook or on the PATH. This module serves both.
Option Explicit

' ---- Result codes ------------------------------------------------------

Public Const PELKART_OK As Long = 1
Public Const PELKART_RECORD_ALL_OK As Long = 670   ' success of FelicaSuicaRecordAll only
Public Const PELKART_BAD_INDEX As Long = -9        ' block number outside 0 to 19
Public Const PELKART_INIT_FAILED As Long = -10     ' the reader library did not initialise
Public Const PELKART_OPEN_FAILED As Long = -11     ' the reader/writer did not open
Public Const PELKART_POLL_FAILED As Long = -12     ' no card answered (or the reader is not open)
Public Const PELKART_CLOSE_FAILED As Long = -13    ' the reader/writer did not close
Public Const PELKART_DISPOSE_FAILED As Long = -14  ' the reader library was not released
Public Const PELKART_READ_FAILED As Long = -15     ' a block read failed

' ---- Text sizes (characters; each buffer needs one more for the NUL) ---

Public Const PELKART_IDM_CHARS As Long = 16
Public Const PELKART_BLOCK_CHARS As Long = 32
Public Const PELKART_GATE_CHARS As Long = 96       ' three ticket-gate blocks
Public Const PELKART_HISTORY_CHARS As Long = 640   ' twenty usage-history blocks
Public Const PELKART_HISTORY_BLOCKS As Long = 20

' ---- The DLL's functions -----------------------------------------------

' VBA 7 (Office 2010 and later, 32- and 64-bit) wants PtrSafe on every
' Declare, and 64-bit Office refuses one without it; VB6 and earlier VBA
' know no PtrSafe. The two lists declare the same functions alike: Long
' results, texts ByVal String, the block number a Long, on both bitnesses.
#If VBA7 Then
Public Declare PtrSafe Function DLLVersion Lib "Pelkart.dll" () As Long
Public Declare PtrSafe Function FelicaRWOpen Lib "Pelkart.dll" () As Long
Public Declare PtrSafe Function FelicaRWClose Lib "Pelkart.dll" () As Long
Public Declare PtrSafe Function FelicaGetLastError Lib "Pelkart.dll" () As Long
Public Declare PtrSafe Function FelicaIDm Lib "Pelkart.dll" (ByVal idmText As String, ByVal pmmText As String) As Long
Public Declare PtrSafe Function FelicaSuicaBalance Lib "Pelkart.dll" (ByVal blockText As String, ByVal idmText As String) As Long
Public Declare PtrSafe Function FelicaSuicaKaisatsu Lib "Pelkart.dll" (ByVal blockText As String, ByVal idmText As String) As Long
Public Declare PtrSafe Function FelicaSuicaRecord Lib "Pelkart.dll" (ByVal blockText As String, ByVal blockNumber As Long, ByVal idmText As String) As Long
Public Declare PtrSafe Function FelicaSuicaRecordAll Lib "Pelkart.dll" (ByVal idmText As String, ByVal blockText As String) As Long
Public Declare PtrSafe Function FelicaSuicaRecordAll_01 Lib "Pelkart.dll" (ByVal idmText As String, ByVal blockText As String) As Long
Public Declare PtrSafe Function GetFelicaIDm Lib "Pelkart.dll" (ByVal idmText As String, ByVal pmmText As String) As Long
Public Declare PtrSafe Function GetSuicaRecord Lib "Pelkart.dll" (ByVal blockText As String, ByVal blockNumber As Long, ByVal idmText As String) As Long
Public Declare PtrSafe Function GetSuicaRecordAll Lib "Pelkart.dll" (ByVal idmText As String, ByVal blockText As String) As Long
#Else
Public Declare Function DLLVersion Lib "Pelkart.dll" () As Long
Public Declare Function FelicaRWOpen Lib "Pelkart.dll" () As Long
Public Declare Function FelicaRWClose Lib "Pelkart.dll" () As Long
Public Declare Function FelicaGetLastError Lib "Pelkart.dll" () As Long
Public Declare Function FelicaIDm Lib "Pelkart.dll" (ByVal idmText As String, ByVal pmmText As String) As Long
Public Declare Function FelicaSuicaBalance Lib "Pelkart.dll" (ByVal blockText As String, ByVal idmText As String) As Long
Public Declare Function FelicaSuicaKaisatsu Lib "Pelkart.dll" (ByVal blockText As String, ByVal idmText As String) As Long
Public Declare Function FelicaSuicaRecord Lib "Pelkart.dll" (ByVal blockText As String, ByVal blockNumber As Long, ByVal idmText As String) As Long
Public Declare Function FelicaSuicaRecordAll Lib "Pelkart.dll" (ByVal idmText As String, ByVal blockText As String) As Long
Public Declare Function FelicaSuicaRecordAll_01 Lib "Pelkart.dll" (ByVal idmText As String, ByVal blockText As String) As Long
Public Declare Function GetFelicaIDm Lib "Pelkart.dll" (ByVal idmText As String, ByVal pmmText As String) As Long
Public Declare Function GetSuicaRecord Lib "Pelkart.dll" (ByVal blockText As String, ByVal blockNumber As Long, ByVal idmText As String) As Long
Public Declare Function GetSuicaRecordAll Lib "Pelkart.dll" (ByVal idmText As String, ByVal blockText As String) As Long
#End If

' ---- Helpers -----------------------------------------------------------

' The text in a buffer, up to its first NUL.
Public Function PelkartTrim(ByVal buffer As String) As String
    Dim nul As Long
    nul = InStr(buffer, vbNullChar)
    If nul > 0 Then PelkartTrim = Left$(buffer, nul - 1) Else PelkartTrim = buffer
End Function

' A short English message for a result code.
Public Function PelkartMessage(ByVal resultCode As Long) As String
    Select Case resultCode
        Case PELKART_OK, PELKART_RECORD_ALL_OK: PelkartMessage = "Success"
        Case PELKART_BAD_INDEX: PelkartMessage = "Block number outside 0 to 19"
        Case PELKART_INIT_FAILED: PelkartMessage = "The reader library could not be initialised"
        Case PELKART_OPEN_FAILED: PelkartMessage = "The reader/writer could not be opened"
        Case PELKART_POLL_FAILED: PelkartMessage = "No card answered (is the reader open and a card on it?)"
        Case PELKART_CLOSE_FAILED: PelkartMessage = "The reader/writer could not be closed"
        Case PELKART_DISPOSE_FAILED: PelkartMessage = "The reader library could not be released"
        Case PELKART_READ_FAILED: PelkartMessage = "The card's blocks could not be read"
        Case Else: PelkartMessage = "Unknown result code " & resultCode
    End Select
End Function

' The twenty 32-character blocks of a history text, block 0 (the newest)
' first, as an array indexed 0 to 19. A shorter text gives empty strings
' for the blocks it does not hold.
Public Function PelkartHistoryBlocks(ByVal historyText As String) As String()
    Dim blocks() As String
    Dim n As Long
    ReDim blocks(0 To PELKART_HISTORY_BLOCKS - 1)
    For n = 0 To PELKART_HISTORY_BLOCKS - 1
        blocks(n) = Mid$(historyText, n * PELKART_BLOCK_CHARS + 1, PELKART_BLOCK_CHARS)
    Next n
    PelkartHistoryBlocks = blocks
End Function

' ---- Connected mode: open once, read as often as needed, close ----------

Public Function PelkartOpen() As Long
    PelkartOpen = FelicaRWOpen()
End Function

Public Function PelkartClose() As Long
    PelkartClose = FelicaRWClose()
End Function

' The reader library's last error: 1000 * first error type + second error type.
Public Function PelkartLastError() As Long
    PelkartLastError = FelicaGetLastError()
End Function

Public Function PelkartReadIDm(idm As String, pmm As String) As Long
    Dim idmBuffer As String, pmmBuffer As String
    idmBuffer = String$(PELKART_IDM_CHARS + 1, vbNullChar)
    pmmBuffer = String$(PELKART_IDM_CHARS + 1, vbNullChar)
    PelkartReadIDm = FelicaIDm(idmBuffer, pmmBuffer)
    idm = PelkartTrim(idmBuffer)
    pmm = PelkartTrim(pmmBuffer)
End Function

Public Function PelkartReadBalance(block As String, idm As String) As Long
    Dim blockBuffer As String, idmBuffer As String
    blockBuffer = String$(PELKART_BLOCK_CHARS + 1, vbNullChar)
    idmBuffer = String$(PELKART_IDM_CHARS + 1, vbNullChar)
    PelkartReadBalance = FelicaSuicaBalance(blockBuffer, idmBuffer)
    block = PelkartTrim(blockBuffer)
    idm = PelkartTrim(idmBuffer)
End Function

Public Function PelkartReadTicketGate(blocks As String, idm As String) As Long
    Dim blockBuffer As String, idmBuffer As String
    blockBuffer = String$(PELKART_GATE_CHARS + 1, vbNullChar)
    idmBuffer = String$(PELKART_IDM_CHARS + 1, vbNullChar)
    PelkartReadTicketGate = FelicaSuicaKaisatsu(blockBuffer, idmBuffer)
    blocks = PelkartTrim(blockBuffer)
    idm = PelkartTrim(idmBuffer)
End Function

Public Function PelkartReadRecord(ByVal blockNumber As Long, block As String, idm As String) As Long
    Dim blockBuffer As String, idmBuffer As String
    blockBuffer = String$(PELKART_BLOCK_CHARS + 1, vbNullChar)
    idmBuffer = String$(PELKART_IDM_CHARS + 1, vbNullChar)
    PelkartReadRecord = FelicaSuicaRecord(blockBuffer, blockNumber, idmBuffer)
    block = PelkartTrim(blockBuffer)
    idm = PelkartTrim(idmBuffer)
End Function

' All twenty history blocks in one exchange with the card. Success is
' PELKART_RECORD_ALL_OK (670) here, not PELKART_OK.
Public Function PelkartReadHistory(history As String, idm As String) As Long
    Dim idmBuffer As String, blockBuffer As String
    idmBuffer = String$(PELKART_IDM_CHARS + 1, vbNullChar)
    blockBuffer = String$(PELKART_HISTORY_CHARS + 1, vbNullChar)
    PelkartReadHistory = FelicaSuicaRecordAll(idmBuffer, blockBuffer)
    history = PelkartTrim(blockBuffer)
    idm = PelkartTrim(idmBuffer)
End Function

' All twenty history blocks, asking the card for one block at a time.
Public Function PelkartReadHistoryByBlock(history As String, idm As String) As Long
    Dim idmBuffer As String, blockBuffer As String
    idmBuffer = String$(PELKART_IDM_CHARS + 1, vbNullChar)
    blockBuffer = String$(PELKART_HISTORY_CHARS + 1, vbNullChar)
    PelkartReadHistoryByBlock = FelicaSuicaRecordAll_01(idmBuffer, blockBuffer)
    history = PelkartTrim(blockBuffer)
    idm = PelkartTrim(idmBuffer)
End Function

' ---- One-shot mode: each call opens, reads and closes by itself ---------

Public Function PelkartGetIDm(idm As String, pmm As String) As Long
    Dim idmBuffer As String, pmmBuffer As String
    idmBuffer = String$(PELKART_IDM_CHARS + 1, vbNullChar)
    pmmBuffer = String$(PELKART_IDM_CHARS + 1, vbNullChar)
    PelkartGetIDm = GetFelicaIDm(idmBuffer, pmmBuffer)
    idm = PelkartTrim(idmBuffer)
    pmm = PelkartTrim(pmmBuffer)
End Function

Public Function PelkartGetRecord(ByVal blockNumber As Long, block As String, idm As String) As Long
    Dim blockBuffer As String, idmBuffer As String
    blockBuffer = String$(PELKART_BLOCK_CHARS + 1, vbNullChar)
    idmBuffer = String$(PELKART_IDM_CHARS + 1, vbNullChar)
    PelkartGetRecord = GetSuicaRecord(blockBuffer, blockNumber, idmBuffer)
    block = PelkartTrim(blockBuffer)
    idm = PelkartTrim(idmBuffer)
End Function

Public Function PelkartGetHistory(history As String, idm As String) As Long
    Dim idmBuffer As String, blockBuffer As String
    idmBuffer = String$(PELKART_IDM_CHARS + 1, vbNullChar)
    blockBuffer = String$(PELKART_HISTORY_CHARS + 1, vbNullChar)
    PelkartGetHistory = GetSuicaRecordAll(idmBuffer, blockBuffer)
    history = PelkartTrim(blockBuffer)
    idm = PelkartTrim(idmBuffer)
End Function
