<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Sheetfray</name>
    <message>
        <source>Error 842001. A normal instance of Excel could not be created.<byte value="xd"/>
<byte value="xd"/>
1. Please make sure Excel is installed on this computer.<byte value="xd"/>
<byte value="xd"/>
2. Please open Excel normally and make sure a blank spreadsheet opens immediately without any interrupting window (such as an Excel file recovery window).<byte value="xd"/>
<byte value="xd"/>
3. Please make sure that when you double-click on a XLS or XLSX file that Excel opens normally without any interrupting messages.<byte value="xd"/>
<byte value="xd"/>
4. All versions of Excel are supported by this software except for the rare Excel Starter and Student editions.</source>
        <translation>Fehler 842001. Eine normale Excel-Instanz konnte nicht erstellt werden.<byte value="xd"/>
<byte value="xd"/>
1. Bitte stellen Sie sicher, dass Excel auf diesem Computer installiert ist.<byte value="xd"/>
<byte value="xd"/>
2. Bitte öffnen Sie Excel normal und stellen Sie sicher, dass sich sofort eine leere Tabelle ohne störendes Fenster (etwa ein Fenster zur Wiederherstellung von Excel-Dateien) öffnet.<byte value="xd"/>
<byte value="xd"/>
3. Bitte stellen Sie sicher, dass sich Excel beim Doppelklick auf eine XLS- oder XLSX-Datei ohne störende Meldungen normal öffnet.<byte value="xd"/>
<byte value="xd"/>
4. Alle Excel-Versionen werden von diesem Programm unterstützt, außer den seltenen Ausgaben Excel Starter und Student.</translation>
    </message>
    <message>
        <source>Excel may be open. It is recommended that you close Excel first.<byte value="xd"/>
<byte value="xd"/>
Would you like to proceed anyway?</source>
        <translation>Excel ist möglicherweise geöffnet. Es wird empfohlen, Excel zuerst zu schließen.<byte value="xd"/>
<byte value="xd"/>
Trotzdem fortfahren?</translation>
    </message>
    <message>
        <source>Excel File(s)</source>
        <translation>Excel-Datei(en)</translation>
    </message>
    <message>
        <source>Spreadsheets (*.xlsx *.xlsm *.xltx *.xltm *.xls *.ods *.fods *.csv *.tsv)|*.xlsx;*.xlsm;*.xltx;*.xltm;*.xls;*.ods;*.fods;*.csv;*.tsv|Excel Files (*.xl*)|*.xl*|All Files (*)|*|</source>
        <translation>Tabellen (*.xlsx *.xlsm *.xltx *.xltm *.xls *.ods *.fods *.csv *.tsv)|*.xlsx;*.xlsm;*.xltx;*.xltm;*.xls;*.ods;*.fods;*.csv;*.tsv|Excel-Dateien (*.xl*)|*.xl*|Alle Dateien (*)|*|</translation>
    </message>
    <message>
        <source>Workbooks to split</source>
        <translation>Zu teilende Arbeitsmappen</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Output folder</source>
        <translation>Ausgabeordner</translation>
    </message>
    <message>
        <source>Custom separator</source>
        <translation>Eigenes Trennzeichen</translation>
    </message>
    <message>
        <source>Choose the output folder</source>
        <translation>Ausgabeordner wählen</translation>
    </message>
</context>
</TS>
