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
    <message>
        <source>Add File(s) - Hold Ctrl to select multiple files</source>
        <translation>Datei(en) hinzufügen - Strg halten, um mehrere Dateien zu wählen</translation>
    </message>
    <message>
        <source>You&apos;ve selected too many files to add.<byte value="xd"/><byte value="xd"/>Please try adding via the &quot;Add All&quot; button.</source>
        <translation>Sie haben zu viele Dateien zum Hinzufügen ausgewählt.<byte value="xd"/><byte value="xd"/>Bitte fügen Sie sie über die Schaltfläche „Alle hinzufügen“ hinzu.</translation>
    </message>
    <message>
        <source>Enter file extension to load:<byte value="xd"/><byte value="xd"/>(* for all files, txt for all txt files, doc for all doc files, etc.)</source>
        <translation>Dateiendung der zu ladenden Dateien:<byte value="xd"/><byte value="xd"/>(* für alle Dateien, txt für alle txt-Dateien, doc für alle doc-Dateien usw.)</translation>
    </message>
    <message>
        <source>Please select folder:</source>
        <translation>Bitte Ordner wählen:</translation>
    </message>
    <message>
        <source>Would you like this software to open the folder where these sample files are stored (so that you can view them before working with them)?</source>
        <translation>Soll das Programm den Ordner öffnen, in dem die Beispieldateien liegen (damit Sie sie vor der Arbeit ansehen können)?</translation>
    </message>
    <message>
        <source>&amp;Add Excel File(s)</source>
        <translation>Excel-Datei(en) &amp;hinzufügen</translation>
    </message>
    <message>
        <source>Add All Excel Files In &amp;Folder</source>
        <translation>Alle Excel-Dateien im &amp;Ordner hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Start Saving</source>
        <translation>Speichern &amp;starten</translation>
    </message>
    <message>
        <source>&amp;Clear List</source>
        <translation>Liste &amp;leeren</translation>
    </message>
    <message>
        <source>&amp;Load Sample/Example Files</source>
        <translation>&amp;Beispieldateien laden</translation>
    </message>
    <message>
        <source>&amp;...</source>
        <translation>&amp;...</translation>
    </message>
    <message>
        <source>&amp;Row Or Column Option</source>
        <translation>&amp;Zeilen- oder Spaltenoption</translation>
    </message>
    <message>
        <source>&amp;Text File Output Option</source>
        <translation>&amp;Textdatei-Option</translation>
    </message>
    <message>
        <source>File&amp;name Output Option</source>
        <translation>Datei&amp;namen-Option</translation>
    </message>
    <message>
        <source>Sa&amp;ve Option</source>
        <translation>S&amp;peicheroption</translation>
    </message>
    <message>
        <source>Drag and drop files here. Double-click item to remove it. Move | line to right and out of window to reveal full names.</source>
        <translation>Dateien hierher ziehen und ablegen. Doppelklick auf einen Eintrag entfernt ihn. Die Linie | nach rechts aus dem Fenster ziehen, um ganze Namen zu sehen.</translation>
    </message>
    <message>
        <source>Filename Output Option</source>
        <translation>Dateinamen-Option</translation>
    </message>
    <message>
        <source>Save as filename plus number</source>
        <translation>Dateiname plus Nummer</translation>
    </message>
    <message>
        <source>Save as x,y location of cell</source>
        <translation>x,y-Position der Zelle</translation>
    </message>
    <message>
        <source>Save as first cell value</source>
        <translation>Wert der ersten Zelle</translation>
    </message>
    <message>
        <source>Text File Output Option</source>
        <translation>Textdatei-Option</translation>
    </message>
    <message>
        <source>Separate each cell with this:</source>
        <translation>Hiermit trennen:</translation>
    </message>
    <message>
        <source>Separate each cell with space</source>
        <translation>Mit Leerzeichen trennen</translation>
    </message>
    <message>
        <source>Separate each cell with comma</source>
        <translation>Mit Komma trennen</translation>
    </message>
    <message>
        <source>Separate each cell with comma-space</source>
        <translation>Mit Komma und Leerzeichen trennen</translation>
    </message>
    <message>
        <source>Separate each cell with enter</source>
        <translation>Mit Zeilenumbruch trennen</translation>
    </message>
    <message>
        <source>Row Or Column Option</source>
        <translation>Zeilen- oder Spaltenoption</translation>
    </message>
    <message>
        <source>Save each row to an Excel file</source>
        <translation>Jede Zeile als Excel-Datei</translation>
    </message>
    <message>
        <source>Save each column to an Excel file</source>
        <translation>Jede Spalte als Excel-Datei</translation>
    </message>
    <message>
        <source>Save each cell to an Excel file </source>
        <translation>Jede Zelle als Excel-Datei </translation>
    </message>
    <message>
        <source>Save each cell to a text file </source>
        <translation>Jede Zelle als Textdatei </translation>
    </message>
    <message>
        <source>Save each column to a text file</source>
        <translation>Jede Spalte als Textdatei</translation>
    </message>
    <message>
        <source>Save each row to a text file</source>
        <translation>Jede Zeile als Textdatei</translation>
    </message>
    <message>
        <source>Progress Bar</source>
        <translation>Fortschrittsanzeige</translation>
    </message>
    <message>
        <source>Add Excel File(s)</source>
        <translation>Excel-Datei(en) hinzufügen</translation>
    </message>
    <message>
        <source>Add All Excel Files In Folder</source>
        <translation>Alle Excel-Dateien im Ordner hinzufügen</translation>
    </message>
    <message>
        <source>Start Saving</source>
        <translation>Speichern starten</translation>
    </message>
    <message>
        <source>Clear List</source>
        <translation>Liste leeren</translation>
    </message>
    <message>
        <source>Load Sample/Example Files</source>
        <translation>Beispieldateien laden</translation>
    </message>
    <message>
        <source>Save Option</source>
        <translation>Speicheroption</translation>
    </message>
    <message>
        <source>Save results to this folder:</source>
        <translation>In diesem Ordner speichern:</translation>
    </message>
    <message>
        <source>Save results in folder of original file</source>
        <translation>Im Ordner der Originaldatei speichern</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Done.</source>
        <translation>Fertig.</translation>
    </message>
    <message>
        <source>Stopped.</source>
        <translation>Angehalten.</translation>
    </message>
    <message>
        <source>The run was stopped while splitting %1.</source>
        <translation>Der Lauf wurde beim Teilen von %1 angehalten.</translation>
    </message>
    <message>
        <source>Not split: %1.</source>
        <translation>Nicht geteilt: %1.</translation>
    </message>
    <message>
        <source>%1 and %2 more</source>
        <translation>%1 und %2 weitere</translation>
    </message>
    <message>
        <source>Not split:</source>
        <translation>Nicht geteilt:</translation>
    </message>
    <message>
        <source>1 file written.</source>
        <translation>1 Datei geschrieben.</translation>
    </message>
    <message>
        <source>%1 files written.</source>
        <translation>%1 Dateien geschrieben.</translation>
    </message>
    <message>
        <source>1 file could not be written.</source>
        <translation>1 Datei konnte nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>%1 files could not be written.</source>
        <translation>%1 Dateien konnten nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>1 workbook could not be read; it is marked in the list.</source>
        <translation>1 Arbeitsmappe konnte nicht gelesen werden; sie ist in der Liste markiert.</translation>
    </message>
    <message>
        <source>%1 workbooks could not be read; they are marked in the list.</source>
        <translation>%1 Arbeitsmappen konnten nicht gelesen werden; sie sind in der Liste markiert.</translation>
    </message>
    <message>
        <source>1 error was reported: see Show Details.</source>
        <translation>1 Fehler wurde gemeldet: siehe „Details einblenden“.</translation>
    </message>
    <message>
        <source>%1 errors were reported: see Show Details.</source>
        <translation>%1 Fehler wurden gemeldet: siehe „Details einblenden“.</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <source>Processing: %1</source>
        <translation>Verarbeite: %1</translation>
    </message>
    <message>
        <source>Processing: %1 (%2 of %3)</source>
        <translation>Verarbeite: %1 (%2 von %3)</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
    <message>
        <source>Row Processed: %1 of %2</source>
        <translation>Zeile verarbeitet: %1 von %2</translation>
    </message>
    <message>
        <source>Col Processed: %1 of %2</source>
        <translation>Spalte verarbeitet: %1 von %2</translation>
    </message>
    <message>
        <source>Cell Processed: %1,%2 of %3,%4</source>
        <translation>Zelle verarbeitet: %1,%2 von %3,%4</translation>
    </message>
    <message>
        <source>No files added.</source>
        <translation>Keine Dateien hinzugefügt.</translation>
    </message>
    <message>
        <source>Folder does not exist. Please select another folder.</source>
        <translation>Der Ordner existiert nicht. Bitte wählen Sie einen anderen Ordner.</translation>
    </message>
    <message>
        <source>Application Error</source>
        <translation>Anwendungsfehler</translation>
    </message>
    <message>
        <source>Don&apos;t show further errors in this run</source>
        <translation>Keine weiteren Fehler dieses Laufs anzeigen</translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation>&amp;Stopp</translation>
    </message>
    <message>
        <source>Files are being saved. Stop saving and close the window?</source>
        <translation>Es werden Dateien gespeichert. Speichern anhalten und das Fenster schließen?</translation>
    </message>
</context>
</TS>
