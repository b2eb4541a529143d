<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>pondera::CommandTrap</name>
    <message>
        <source>操作を最後まで実行できませんでした。</source>
        <translation>The command could not be carried out to the end.</translation>
    </message>
    <message>
        <source>メモリが足りないため、操作を中止しました。</source>
        <translation>The command was stopped because there is not enough memory.</translation>
    </message>
    <message>
        <source>予期しないエラーのため、操作を中止しました。</source>
        <translation>The command was stopped because of an unexpected error.</translation>
    </message>
    <message>
        <source>記録ファイルへの書き込みに失敗しました。この変更はまだ保存されていません。次の操作のときにもう一度保存を試みます。ディスクの空きと書き込み権限を確かめてください。</source>
        <translation>Writing to the record file failed. This change is not saved yet; saving it is tried again at the next action. Check the free disk space and the write permission.</translation>
    </message>
    <message>
        <source>記録ファイルへの書き込みに失敗しました。この変更はまだ保存されていません。次の操作のときにもう一度保存を試みます。</source>
        <translation>Writing to the record file failed. This change is not saved yet; saving it is tried again at the next action.</translation>
    </message>
</context>
<context>
    <name>pondera::DialogLoad</name>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>pondera::ExportCommands</name>
    <message>
        <source>ファイルを保存できませんでした。%1 は書かれていません（同じ名前の既存のファイルはそのままです）。</source>
        <translation>The file could not be saved. %1 was not written (an existing file of that name is left as it was).</translation>
    </message>
    <message>
        <source>印刷できませんでした。</source>
        <translation>Printing failed.</translation>
    </message>
</context>
<context>
    <name>pondera::FormAbout</name>
    <message>
        <source>現時点ではｼｽﾃﾑ情報を使用できません</source>
        <translation>System Information is not available at this time</translation>
    </message>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>Version Information</translation>
    </message>
    <message>
        <source>ｼｽﾃﾑ情報(&amp;S)...</source>
        <translation>&amp;System Info</translation>
    </message>
    <message>
        <source>画像に写っている人体の重心位置を計算します。</source>
        <translation>Computes the centre of gravity of the human body in a picture.</translation>
    </message>
    <message>
        <source>計算結果はおおよその目安です。本プログラムの使用により生じた損害について、作者は責任を負いません。</source>
        <translation>The results are rough estimates only. The author accepts no liability for any damage arising from the use of this program.</translation>
    </message>
</context>
<context>
    <name>pondera::FormMain</name>
    <message>
        <source>エラー番号 %1
%2</source>
        <translation>Error number %1
%2</translation>
    </message>
    <message>
        <source>記録ファイル PONDERA2D_2010.xls を開けないため、終了します。</source>
        <translation>The record file PONDERA2D_2010.xls cannot be opened, so the program ends.</translation>
    </message>
    <message>
        <source>メモを記録できませんでした。</source>
        <translation>The memo could not be stored.</translation>
    </message>
    <message>
        <source>記録ファイルを保存できませんでした。変更は失われず、次に起動したときに復元されます。</source>
        <translation>The record file could not be saved. The changes are not lost: they are restored at the next start.</translation>
    </message>
    <message>
        <source>ID コード %1 の記録はありません。表示中の記録のままにします。</source>
        <translation>There is no record with ID code %1. The record shown stays shown.</translation>
    </message>
    <message>
        <source>エラー番号 %1
画像ファイル %2 を読み込めないため、画像なしで表示します。
(%3)</source>
        <translation>Error number %1
The picture file %2 cannot be read, so the record is shown without its picture.
(%3)</translation>
    </message>
    <message>
        <source>エラー番号 %1
記録 %2 の座標のセルに数値でない値があるため、0 として読みました: %3</source>
        <translation>Error number %1
Coordinate cells of record %2 hold values that are not numbers; they were read as 0: %3</translation>
    </message>
    <message>
        <source>エラー番号 %1
記録 %2 の性別の値 %3 は 0 (Male) でも 1 (Female) でもありません。性別を選ぶまで重心は描かれず、記録されません。</source>
        <translation>Error number %1
The sex value %3 of record %2 is neither 0 (Male) nor 1 (Female). Until a sex is chosen, the centres of gravity are neither drawn nor stored.</translation>
    </message>
    <message>
        <source>記録の数が上限に達しているため、新しい記録を追加できません。</source>
        <translation>The number of records has reached its limit, so no new record can be added.</translation>
    </message>
    <message>
        <source>新しい記録を追加できませんでした。</source>
        <translation>A new record could not be added.</translation>
    </message>
    <message>
        <source>記録が選ばれていないため、表示中の記録のままにします。</source>
        <translation>No record was chosen, so the record shown stays shown.</translation>
    </message>
    <message>
        <source>キャンセルされました</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>画像が大きすぎるため読み込めません。画像は変更されません。</source>
        <translation>The picture is too large to load. The picture is not changed.</translation>
    </message>
    <message>
        <source>画像ファイルとして読み込めません。画像は変更されません。</source>
        <translation>The file cannot be read as a picture. The picture is not changed.</translation>
    </message>
    <message>
        <source>自動検出した位置です。確かめて、違っていれば画像上をクリックして置き直してください。</source>
        <translation>Placed by automatic detection. Check it, and if it is wrong click on the picture to place it again.</translation>
    </message>
    <message>
        <source>自動検出は使用できません: </source>
        <translation>Automatic detection is not available: </translation>
    </message>
    <message>
        <source>自動検出は使用できません。
(%1)</source>
        <translation>Automatic detection is not available.
(%1)</translation>
    </message>
    <message>
        <source>画像が読み込まれていないため、自動検出できません。</source>
        <translation>No picture is loaded, so nothing can be detected.</translation>
    </message>
    <message>
        <source>画像に人物が見つからないため、ランドマークは変更していません。</source>
        <translation>No person was found in the picture, so the landmarks were not changed.</translation>
    </message>
    <message>
        <source>ランドマークを自動検出できませんでした。ランドマークは変更していません。
(%1)</source>
        <translation>The landmarks could not be detected. The landmarks were not changed.
(%1)</translation>
    </message>
    <message>
        <source>記録 %1 はデモ用の記録で、起動のたびに元に戻ります。
画像・性別・LandMark を新しい記録にコピーして、そちらを変更しますか?
(いいえ: このデモの記録をそのまま変更します)</source>
        <translation>Record %1 is a demonstration record and is restored at every start.
Copy its picture, sex and landmarks into a new record and change that one instead?
(No: change this demonstration record)</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>Undo(&amp;U)</source>
        <translation>Undo(&amp;U)</translation>
    </message>
    <message>
        <source>Redo(&amp;R)</source>
        <translation>Redo(&amp;R)</translation>
    </message>
    <message>
        <source>次のLandMarkへ自動で進む</source>
        <translation>Advance to the Next Landmark Automatically</translation>
    </message>
    <message>
        <source>View</source>
        <translation>View</translation>
    </message>
    <message>
        <source>骨格線と目印の縁取り(&amp;S)</source>
        <translation>Skeleton Lines and Marker Halos(&amp;S)</translation>
    </message>
    <message>
        <source>
ほか %1 件</source>
        <translation>
and %1 more</translation>
    </message>
    <message>
        <source>性別のセルに数値でない値がある記録は、一覧にセルの内容をそのまま表示します。</source>
        <translation>Records whose sex cell holds no number are listed with the cell as it stands.</translation>
    </message>
    <message>
        <source>記録ファイルの状態を確かめられませんでした。</source>
        <translation>The state of the record file could not be checked.</translation>
    </message>
    <message>
        <source>エラー番号 %1
変更を記録ファイルに保存できませんでした。このまま終了すると、保存されていない変更は失われます。ディスクの空きを確かめてから再試行してください。キャンセルするとウィンドウは開いたままになります。</source>
        <translation>Error number %1
The changes could not be saved to the record file. Quitting now loses the changes that are not saved. Check the free disk space, then retry. Cancel keeps the window open.</translation>
    </message>
    <message>
        <source>記録ファイルを保存できませんでした。保存されていない変更があるため、ウィンドウは開いたままにします。</source>
        <translation>The record file could not be saved. Some changes are not saved yet, so the window stays open.</translation>
    </message>
    <message>
        <source>メモは %1 文字までです。超えた部分は入力されませんでした。</source>
        <translation>A memo holds at most %1 characters. The rest was not entered.</translation>
    </message>
    <message>
        <source>エラー番号 %1
画像ファイル %2 は途中で切れているため、読み込めた部分だけを表示します。</source>
        <translation>Error number %1
The picture file %2 is cut short (incomplete), so only the part that could be read is shown.</translation>
    </message>
    <message>
        <source>エラー番号 %1
記録 %2 の性別のセル (シート ID の C%3) には数値でない「%4」が入っているため、性別なしで表示します。性別を選ぶとセルはその値で書き直されます。</source>
        <translation>Error number %1
The sex cell of record %2 (sheet ID, C%3) holds &quot;%4&quot;, which is no number, so the record is shown without a sex. Choosing a sex writes it into the cell.</translation>
    </message>
</context>
<context>
    <name>pondera::Information</name>
    <message>
        <source>使用方法</source>
        <translation>How to use</translation>
    </message>
    <message>
        <source>１．新規に解析する写真を追加するとき</source>
        <translation>1. To add a new photograph to analyse</translation>
    </message>
    <message>
        <source>（１）「Project」&#x3000;→&#x3000;「New」を実行します。</source>
        <translation>(1) Choose &quot;Project&quot; → &quot;New&quot;.</translation>
    </message>
    <message>
        <source>（２）「Picture」&#x3000;→&#x3000;「Load Picture」を実行して、写真を読み込みます。</source>
        <translation>(2) Choose &quot;Picture&quot; → &quot;Load Picture&quot; and load the photograph.</translation>
    </message>
    <message>
        <source>（３）「Male」または「Female」をチェックして、性別を入力します。</source>
        <translation>(3) Check &quot;Male&quot; or &quot;Female&quot; to enter the sex.</translation>
    </message>
    <message>
        <source>（４）LandMarkの左横の○印をチェックして、入力するLandMarkを選択します。</source>
        <translation>(4) Check the ○ left of a LandMark to choose the LandMark to enter.</translation>
    </message>
    <message>
        <source>２．既に解析しているデータを読み込むとき</source>
        <translation>2. To load data analysed before</translation>
    </message>
    <message>
        <source>（１）「Load」を実行して、読み込むデータを選択します。</source>
        <translation>(1) Choose &quot;Load&quot; and select the data to load.</translation>
    </message>
    <message>
        <source>３．終了するとき</source>
        <translation>3. To quit</translation>
    </message>
    <message>
        <source>（１）「Quit」を実行します。</source>
        <translation>(1) Choose &quot;Quit&quot;.</translation>
    </message>
    <message>
        <source>注意</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>１．データファイルは、PONDERA2D_2010.xlsに保存されます。</source>
        <translation>1. The data are saved in PONDERA2D_2010.xls.</translation>
    </message>
    <message>
        <source>IDシート</source>
        <translation>ID sheet</translation>
    </message>
    <message>
        <source>性別、画像ファイル名、メモ、重心が記録されます。</source>
        <translation>sex, picture file name, memo and centre of gravity.</translation>
    </message>
    <message>
        <source>LANDMARKシート</source>
        <translation>LANDMARK sheet</translation>
    </message>
    <message>
        <source>LandMarkデータが保存されます。</source>
        <translation>LandMark data are saved.</translation>
    </message>
    <message>
        <source>COGSシート</source>
        <translation>COGS sheet</translation>
    </message>
    <message>
        <source>セグメントデータが保存されます。</source>
        <translation>segment data are saved.</translation>
    </message>
    <message>
        <source>２．LANDMARKの構成</source>
        <translation>2. The LANDMARKs</translation>
    </message>
    <message>
        <source>  頭頂、顎、胸骨、恥骨</source>
        <translation>  Vertex, chin, sternum, pubis</translation>
    </message>
    <message>
        <source>  右肩関節、右肘関節、右手関節、右指</source>
        <translation>  R shoulder, R elbow, R wrist, R finger</translation>
    </message>
    <message>
        <source>  左肩関節、左肘関節、左手関節、左指</source>
        <translation>  L shoulder, L elbow, L wrist, L finger</translation>
    </message>
    <message>
        <source>  右股関節、右膝関節、右足関節、右踵、右足</source>
        <translation>  R hip, R knee, R ankle, R heel, R toe</translation>
    </message>
    <message>
        <source>  左股関節、左膝関節、左足関節、左踵、左足</source>
        <translation>  L hip, L knee, L ankle, L heel, L toe</translation>
    </message>
    <message>
        <source>３．SEGMENTの構成とLANDMARK</source>
        <translation>3. The SEGMENTs and their LANDMARKs</translation>
    </message>
    <message>
        <source>%1－%2</source>
        <translation>%1 - %2</translation>
    </message>
    <message>
        <source>係数の出典：松井秀治（1958）</source>
        <translation>Coefficients from: Matsui, H. (1958)</translation>
    </message>
    <message>
        <source>                男性                 女性</source>
        <translation>                Male                Female</translation>
    </message>
    <message>
        <source>          質量比  重心位置      質量比  重心位置</source>
        <translation>           Mass     COG         Mass     COG</translation>
    </message>
    <message>
        <source>４．座標系</source>
        <translation>4. Coordinate system</translation>
    </message>
    <message>
        <source>画像データの左下端が原点（0,0）です。</source>
        <translation>The origin (0,0) is the bottom-left corner of the picture.</translation>
    </message>
    <message>
        <source>横－ｘ軸</source>
        <translation>Horizontal - x axis</translation>
    </message>
    <message>
        <source>縦－ｚ軸</source>
        <translation>Vertical - z axis</translation>
    </message>
    <message>
        <source>５．使用する画像データ</source>
        <translation>5. Pictures to use</translation>
    </message>
    <message>
        <source>ビットマップ形式またはJPEG形式のファイルをご使用ください。</source>
        <translation>Please use bitmap or JPEG files.</translation>
    </message>
    <message>
        <source>６４０×４８０ピクセルの画像が最適です。</source>
        <translation>Pictures of 640 × 480 pixels suit best.</translation>
    </message>
    <message>
        <source>６．計算方法</source>
        <translation>6. Method</translation>
    </message>
    <message>
        <source>（１）各LandMark座標入力</source>
        <translation>(1) Enter the coordinates of each LandMark</translation>
    </message>
    <message>
        <source>（２）各SEGMENTの近位端LandMark座標と遠位端LandMark座標を検索</source>
        <translation>(2) Look up each SEGMENT&apos;s proximal and distal LandMark coordinates</translation>
    </message>
    <message>
        <source>（３）各SEGMENTの重心座標を計算</source>
        <translation>(3) Compute each SEGMENT&apos;s centre of gravity</translation>
    </message>
    <message>
        <source>（４）各SEGMENTの重心座標から全体の重心座標を計算</source>
        <translation>(4) Compute the whole body&apos;s centre of gravity from the SEGMENTs&apos;</translation>
    </message>
    <message>
        <source>（５）計算式</source>
        <translation>(5) Formulas</translation>
    </message>
    <message>
        <source>m(i)     ：各セグメントの相対的質量</source>
        <translation>m(i)     : relative mass of each segment</translation>
    </message>
    <message>
        <source>x(i),z(i)：各セグメントの相対的重心位置</source>
        <translation>x(i),z(i): relative centre of gravity of each segment</translation>
    </message>
    <message>
        <source>７．精度</source>
        <translation>7. Accuracy</translation>
    </message>
    <message>
        <source>①各セグメントの相対的質量(*)</source>
        <translation>① the relative masses of the segments (*)</translation>
    </message>
    <message>
        <source>②各セグメントの相対的重心位置(*)</source>
        <translation>② the relative centres of gravity of the segments (*)</translation>
    </message>
    <message>
        <source>③画像のゆがみ（レンズ特性、撮影方法）</source>
        <translation>③ distortion of the picture (lens, way of shooting)</translation>
    </message>
    <message>
        <source>④マウスによるLandMark座標入力</source>
        <translation>④ entering the LandMark coordinates with the mouse</translation>
    </message>
    <message>
        <source>に依存します。</source>
        <translation>decide the accuracy.</translation>
    </message>
    <message>
        <source>あまり精度が良いものではありません。</source>
        <translation>It is not very accurate,</translation>
    </message>
    <message>
        <source>しかし、おおよその重心位置を知ることができます。</source>
        <translation>but it shows roughly where the centre of gravity lies.</translation>
    </message>
    <message>
        <source>(*)松井秀治（1958）</source>
        <translation>(*)Matsui (1958)</translation>
    </message>
    <message>
        <source>新しい機能</source>
        <translation>What&apos;s new</translation>
    </message>
    <message>
        <source>・どの大きさの写真も全体を表示します。座標は写真のピクセル単位です。</source>
        <translation>• Photos of any size are shown whole; coordinates are in the photo&apos;s own pixels.</translation>
    </message>
    <message>
        <source>・Ctrl+ホイールまたは＋／－キーで拡大・縮小、０で全体表示、１で等倍。ルーペで正確に入力できます。</source>
        <translation>• Zoom with Ctrl+wheel or the + and − keys, 0 fits the picture, 1 shows it 1:1; the magnifier helps to place points precisely.</translation>
    </message>
    <message>
        <source>・LandMarkはドラッグや矢印キーで動かせます。元に戻す（Ctrl+Z）、やり直し（Ctrl+Y）ができます。</source>
        <translation>• Landmarks can be dragged or moved with the arrow keys; Undo (Ctrl+Z) and Redo (Ctrl+Y) take any change back and forth.</translation>
    </message>
    <message>
        <source>・「Picture」→「Detect Landmarks」（Ctrl+D）で22点を自動で配置します。「check」の付いた点は確かめてください。</source>
        <translation>• Picture → Detect Landmarks (Ctrl+D) places all 22 points automatically; look again at the points marked “check”.</translation>
    </message>
    <message>
        <source>・画面下の結果の行に、重心の高さ（身長に対する割合）と支持基底面に対する重心の位置を表示します。</source>
        <translation>• The results row at the bottom shows the height of the centre of gravity (% of stature) and where it lies against the base of support.</translation>
    </message>
    <message>
        <source>・「Export CSV...」「Report (PDF)...」「Print...」「Save Annotated Picture...」で結果を書き出します。</source>
        <translation>• Export CSV..., Report (PDF)..., Print... and Save Annotated Picture... take the results away.</translation>
    </message>
    <message>
        <source>・変更はすぐに記録され、異常終了の後も次の起動で元に戻ります。</source>
        <translation>• Every change is recorded at once; after a crash the next start brings it back.</translation>
    </message>
</context>
<context>
    <name>pondera::LandmarkGuide</name>
    <message>
        <source>%1 = %2 (subject&apos;s right)</source>
        <translation>%2 (subject&apos;s right)</translation>
    </message>
    <message>
        <source>%1 = %2 (subject&apos;s left)</source>
        <translation>%2 (subject&apos;s left)</translation>
    </message>
    <message>
        <source>%1 = %2</source>
        <translation>%2</translation>
    </message>
    <message>
        <source>右</source>
        <translation>R</translation>
    </message>
    <message>
        <source>左</source>
        <translation>L</translation>
    </message>
    <message>
        <source>正面から見た図：被験者の右はあなたの左側です</source>
        <translation>front view: the subject&apos;s right is on your left</translation>
    </message>
    <message>
        <source>右の図：足を横から見たところ（つま先が右）</source>
        <translation>beside it: the foot from the side, toes to the right</translation>
    </message>
</context>
<context>
    <name>pondera::ModelNames</name>
    <message>
        <source>重心</source>
        <comment>landmark</comment>
        <translation>COG</translation>
    </message>
    <message>
        <source>頭頂</source>
        <comment>landmark</comment>
        <translation>Vertex</translation>
    </message>
    <message>
        <source>顎</source>
        <comment>landmark</comment>
        <translation>Chin</translation>
    </message>
    <message>
        <source>胸骨</source>
        <comment>landmark</comment>
        <translation>Sternum</translation>
    </message>
    <message>
        <source>恥骨</source>
        <comment>landmark</comment>
        <translation>Pubis</translation>
    </message>
    <message>
        <source>右肩関節</source>
        <comment>landmark</comment>
        <translation>R shoulder</translation>
    </message>
    <message>
        <source>右肘関節</source>
        <comment>landmark</comment>
        <translation>R elbow</translation>
    </message>
    <message>
        <source>右手関節</source>
        <comment>landmark</comment>
        <translation>R wrist</translation>
    </message>
    <message>
        <source>右指</source>
        <comment>landmark</comment>
        <translation>R finger</translation>
    </message>
    <message>
        <source>左肩関節</source>
        <comment>landmark</comment>
        <translation>L shoulder</translation>
    </message>
    <message>
        <source>左肘関節</source>
        <comment>landmark</comment>
        <translation>L elbow</translation>
    </message>
    <message>
        <source>左手関節</source>
        <comment>landmark</comment>
        <translation>L wrist</translation>
    </message>
    <message>
        <source>左指</source>
        <comment>landmark</comment>
        <translation>L finger</translation>
    </message>
    <message>
        <source>右股関節</source>
        <comment>landmark</comment>
        <translation>R hip</translation>
    </message>
    <message>
        <source>右膝関節</source>
        <comment>landmark</comment>
        <translation>R knee</translation>
    </message>
    <message>
        <source>右足関節</source>
        <comment>landmark</comment>
        <translation>R ankle</translation>
    </message>
    <message>
        <source>右踵</source>
        <comment>landmark</comment>
        <translation>R heel</translation>
    </message>
    <message>
        <source>右足</source>
        <comment>landmark</comment>
        <translation>R toe</translation>
    </message>
    <message>
        <source>左股関節</source>
        <comment>landmark</comment>
        <translation>L hip</translation>
    </message>
    <message>
        <source>左膝関節</source>
        <comment>landmark</comment>
        <translation>L knee</translation>
    </message>
    <message>
        <source>左足関節</source>
        <comment>landmark</comment>
        <translation>L ankle</translation>
    </message>
    <message>
        <source>左踵</source>
        <comment>landmark</comment>
        <translation>L heel</translation>
    </message>
    <message>
        <source>左足</source>
        <comment>landmark</comment>
        <translation>L toe</translation>
    </message>
    <message>
        <source>頭</source>
        <comment>segment</comment>
        <translation>Head</translation>
    </message>
    <message>
        <source>頸</source>
        <comment>segment</comment>
        <translation>Neck</translation>
    </message>
    <message>
        <source>体幹</source>
        <comment>segment</comment>
        <translation>Trunk</translation>
    </message>
    <message>
        <source>右上腕</source>
        <comment>segment</comment>
        <translation>R upper arm</translation>
    </message>
    <message>
        <source>右前腕</source>
        <comment>segment</comment>
        <translation>R forearm</translation>
    </message>
    <message>
        <source>右手</source>
        <comment>segment</comment>
        <translation>R hand</translation>
    </message>
    <message>
        <source>左上腕</source>
        <comment>segment</comment>
        <translation>L upper arm</translation>
    </message>
    <message>
        <source>左前腕</source>
        <comment>segment</comment>
        <translation>L forearm</translation>
    </message>
    <message>
        <source>左手</source>
        <comment>segment</comment>
        <translation>L hand</translation>
    </message>
    <message>
        <source>右大腿</source>
        <comment>segment</comment>
        <translation>R thigh</translation>
    </message>
    <message>
        <source>右下腿</source>
        <comment>segment</comment>
        <translation>R lower leg</translation>
    </message>
    <message>
        <source>右足</source>
        <comment>segment</comment>
        <translation>R foot</translation>
    </message>
    <message>
        <source>左大腿</source>
        <comment>segment</comment>
        <translation>L thigh</translation>
    </message>
    <message>
        <source>左下腿</source>
        <comment>segment</comment>
        <translation>L lower leg</translation>
    </message>
    <message>
        <source>左足</source>
        <comment>segment</comment>
        <translation>L foot</translation>
    </message>
    <message>
        <source>上腕</source>
        <comment>segment</comment>
        <translation>Up. arm</translation>
    </message>
    <message>
        <source>前腕</source>
        <comment>segment</comment>
        <translation>Forearm</translation>
    </message>
    <message>
        <source>手</source>
        <comment>segment</comment>
        <translation>Hand</translation>
    </message>
    <message>
        <source>大腿</source>
        <comment>segment</comment>
        <translation>Thigh</translation>
    </message>
    <message>
        <source>下腿</source>
        <comment>segment</comment>
        <translation>Low. leg</translation>
    </message>
    <message>
        <source>足</source>
        <comment>segment</comment>
        <translation>Foot</translation>
    </message>
</context>
<context>
    <name>pondera::PictureFiles</name>
    <message>
        <source>画像ファイルを選択</source>
        <translation>Choose a picture file</translation>
    </message>
    <message>
        <source>画像ファイル(*.bmp,*.jpg) (*.bmp *.jpg *.jpeg)</source>
        <translation>Picture files (*.bmp,*.jpg) (*.bmp *.jpg *.jpeg)</translation>
    </message>
    <message>
        <source>エラー番号 %1
デモ画像 %2 を書き込めませんでした。デモの記録は画像なしで表示されます。
(%3)</source>
        <translation>Error number %1
The demonstration picture %2 could not be written. The demonstration records are shown without it.
(%3)</translation>
    </message>
    <message>
        <source>すべての画像 (%1)</source>
        <translation>All pictures (%1)</translation>
    </message>
    <message>
        <source>すべてのファイル (*)</source>
        <translation>All files (*)</translation>
    </message>
</context>
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
<context>
    <name>pondera::StartProgress</name>
    <message>
        <source>記録ファイルを開いています…</source>
        <translation>Opening the record file…</translation>
    </message>
    <message>
        <source>記録ファイルを変換しています…</source>
        <translation>Converting the record file…</translation>
    </message>
    <message>
        <source>前回保存されなかった変更をジャーナルから復元しています…</source>
        <translation>Recovering unsaved changes of the last run from the journal…</translation>
    </message>
    <message>
        <source>記録ファイルを書き込んでいます…</source>
        <translation>Writing the record file…</translation>
    </message>
</context>
<context>
    <name>pondera::StatusPanel</name>
    <message>
        <source>デモ用の記録です (起動のたびに元に戻ります)</source>
        <translation>Demonstration record (restored at every start)</translation>
    </message>
    <message>
        <source>新しい記録で始める</source>
        <translation>Start a new record</translation>
    </message>
    <message>
        <source>%1/22 配置済み</source>
        <translation>%1/22 placed</translation>
    </message>
    <message>
        <source>x %1  z %2</source>
        <translation>x %1  z %2</translation>
    </message>
</context>
<context>
    <name>pondera::StoreTexts</name>
    <message>
        <source>データがいっぱいです。</source>
        <translation>The record list is full.</translation>
    </message>
    <message>
        <source>データがいっぱいです。 (%1)</source>
        <translation>The record list is full. (%1)</translation>
    </message>
    <message>
        <source>ワークブック「%1」は、このフォルダーで実行中のもう一つのプログラムが使用しています。そちらを終了してから起動し直してください。</source>
        <translation>The workbook &quot;%1&quot; is in use by another copy of the program running in this folder. Quit that one, then start again.</translation>
    </message>
    <message>
        <source>ワークブック「%1」を読み込めなかったため、「%2」に移して新しいワークブックを作成しました。理由: %3</source>
        <translation>The workbook &quot;%1&quot; could not be read, so it was moved to &quot;%2&quot; and a new workbook was created. Reason: %3</translation>
    </message>
    <message>
        <source>ワークブック「%1」がこのプログラムの外で変更されていたため、その版を「%2」として残しました。</source>
        <translation>The workbook &quot;%1&quot; had been changed outside this program, so that version was kept as &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>ワークブック「%1」にはこのプログラムが保存できない内容があったため、元のファイルを「%2」として残しました。</source>
        <translation>The workbook &quot;%1&quot; held content this program cannot save, so the original file was kept as &quot;%2&quot;.</translation>
    </message>
    <message>
        <source>型が一致しません: シート「%1」のセル %2 の値「%3」は%4に変換できません。</source>
        <translation>Type mismatch: the value &quot;%3&quot; of cell %2 of sheet &quot;%1&quot; cannot be converted to %4.</translation>
    </message>
    <message>
        <source>型が一致しません: シート「%1」のセル %2 の値(エラー値)は%3に変換できません。</source>
        <translation>Type mismatch: the value (an error value) of cell %2 of sheet &quot;%1&quot; cannot be converted to %3.</translation>
    </message>
    <message>
        <source>オーバーフローしました: %1 の値 %2 は -32768～32767 の範囲にありません。</source>
        <translation>Overflow: the value %2 of %1 is not within -32768 to 32767.</translation>
    </message>
    <message>
        <source>オーバーフローしました: %1 の値 %2 は単精度の範囲にありません。</source>
        <translation>Overflow: the value %2 of %1 is not within single precision.</translation>
    </message>
    <message>
        <source>整数</source>
        <translation>a whole number</translation>
    </message>
    <message>
        <source>数値</source>
        <translation>a number</translation>
    </message>
    <message>
        <source>文字列</source>
        <translation>text</translation>
    </message>
    <message>
        <source>前回の終了時に保存されていなかった操作 %1 件を復元しました。</source>
        <translation>Restored %1 action(s) that had not been saved when the program last ended.</translation>
    </message>
    <message>
        <source>前回の終了時に保存されていなかった操作 %1 件を復元しました（記録 %2）。</source>
        <translation>Restored %1 action(s) that had not been saved when the program last ended (records %2).</translation>
    </message>
    <message>
        <source>変更を守るジャーナル「%1」が削除されていたため、ここまでの変更をワークブックに保存し、ジャーナルを作り直しました。</source>
        <translation>The journal &quot;%1&quot; that guards the changes had been deleted, so the changes so far were saved to the workbook and the journal was made again.</translation>
    </message>
    <message>
        <source>ワークブック「%1」を自動で保存できませんでした。変更はすべてジャーナルに記録されており、失われていません。保存は後でもう一度試みます。理由: %2</source>
        <translation>The workbook &quot;%1&quot; could not be saved automatically. Every change is recorded in the journal and nothing is lost. The save will be tried again later. Reason: %2</translation>
    </message>
    <message>
        <source>ワークブック「%1」を自動で保存できませんでした。保存は後でもう一度試みます。理由: %2</source>
        <translation>The workbook &quot;%1&quot; could not be saved automatically. The save will be tried again later. Reason: %2</translation>
    </message>
    <message>
        <source>ワークブック「%1」は存在しないファイル「%2」を指すリンクだったため、リンクを新しいワークブックで置き換えました。</source>
        <translation>The workbook &quot;%1&quot; was a link to &quot;%2&quot;, a file that does not exist, so the link was replaced by a new workbook.</translation>
    </message>
    <message>
        <source>記録 %1 のメモは %2 文字あり、一つのセルに収まる %3 文字までを表示しています。メモを変更すると、その長さで保存されます。</source>
        <translation>The memo of record %1 has %2 characters; the first %3, what one cell holds, are shown. Changing the memo stores it at that length.</translation>
    </message>
</context>
</TS>
