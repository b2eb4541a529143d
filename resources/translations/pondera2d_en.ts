<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
    <context>
        <name>pondera::StartOptions</name>
        <message>
            <source>このフォルダには書き込めないため、記録を保存できません:
%1

書き込めるフォルダで起動してください。例えば:
%2
(pondera2d --documents はこのフォルダを作って、そこで起動します)</source>
            <translation>This folder is not writable, so the records cannot be saved here:
%1

Start Pondera2D in a folder you can write to, for example:
%2
(pondera2d --documents creates this folder and starts there)</translation>
        </message>
        <message>
            <source>フォルダを作成できないため、起動できません:
%1</source>
            <translation>The folder cannot be created, so Pondera2D cannot start:
%1</translation>
        </message>
    </context>
</TS>
