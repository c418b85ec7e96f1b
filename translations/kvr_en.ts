<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>TAboutBox</name>
    <message>
        <source>バージョン情報</source>
        <translation>About Kelvoro</translation>
    </message>
    <message>
        <source>背景</source>
        <translation>Background</translation>
    </message>
    <message>
        <source>制作者のマーク</source>
        <translation>Maker's mark</translation>
    </message>
    <message>
        <source>メールを送る</source>
        <translation>Send an email</translation>
    </message>
    <message>
        <source>ホームページを開く</source>
        <translation>Open the home page</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>背景 (ドラッグでウインドウを移動)</source>
        <translation>Background (drag to move the window)</translation>
    </message>
    <message>
        <source>アクティヴ ウインドウを撮影</source>
        <translation>Capture the active window</translation>
    </message>
    <message>
        <source>全画面撮影</source>
        <translation>Capture the whole screen</translation>
    </message>
    <message>
        <source>セルフタイマー秒数</source>
        <translation>Self-timer seconds</translation>
    </message>
    <message>
        <source>セルフタイマー秒数の変更</source>
        <translation>Change the self-timer seconds</translation>
    </message>
    <message>
        <source>jpeg形式で保存</source>
        <translation>Save as JPEG</translation>
    </message>
    <message>
        <source>bmp形式で保存</source>
        <translation>Save as BMP</translation>
    </message>
    <message>
        <source>webp形式で保存</source>
        <translation>Save as WebP</translation>
    </message>
    <message>
        <source>png形式で保存</source>
        <translation>Save as PNG</translation>
    </message>
    <message>
        <source>設定と情報</source>
        <translation>Options and information</translation>
    </message>
    <message>
        <source>設定を開く</source>
        <translation>Open the options</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>バージョン情報を表示</source>
        <translation>About Kelvoro</translation>
    </message>
    <message>
        <source>Version情報</source>
        <translation>Version information</translation>
    </message>
    <message>
        <source>撮影</source>
        <translation>Shot</translation>
    </message>
    <message>
        <source>セルフタイマーの後に撮影</source>
        <translation>Take the shot after the self-timer</translation>
    </message>
    <message>
        <source>撮影カウントダウン開始ボタン</source>
        <translation>Start the countdown to the shot</translation>
    </message>
    <message>
        <source>選択を保存して終了</source>
        <translation>Save the choices and exit</translation>
    </message>
    <message>
        <source>プログラム終了ボタン</source>
        <translation>Exit the program</translation>
    </message>
</context>
<context>
    <name>TForm2</name>
    <message>
        <source>設定</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>出力</source>
        <translation>Output</translation>
    </message>
    <message>
        <source>画像ファイル出力場所</source>
        <translation>Where pictures are saved</translation>
    </message>
    <message>
        <source>デスクトップ</source>
        <translation>Desktop</translation>
    </message>
    <message>
        <source>その他</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>出力場所</source>
        <translation>Output folder</translation>
    </message>
    <message>
        <source>圧縮率</source>
        <translation>Compression</translation>
    </message>
    <message>
        <source>画質</source>
        <translation>Quality</translation>
    </message>
    <message>
        <source>低画質(高圧縮率)</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>標準</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>高画質</source>
        <translation>High</translation>
    </message>
    <message>
        <source>最高画質(低圧縮率)</source>
        <translation>Best</translation>
    </message>
    <message>
        <source>ファイル(小)</source>
        <translation>Small file</translation>
    </message>
    <message>
        <source>ファイル(大)</source>
        <translation>Large file</translation>
    </message>
    <message>
        <source>ファイル名</source>
        <translation>File name</translation>
    </message>
    <message>
        <source>ファイル名を指定する</source>
        <translation>Use my own file name</translation>
    </message>
    <message>
        <source>ファイル名の先頭</source>
        <translation>File-name prefix</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>形式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>可逆圧縮の保存形式</source>
        <translation>Lossless format</translation>
    </message>
</context>
<context>
    <name>kvr::text</name>
    <message>
        <source>%1秒前</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>撮影中</source>
        <translation>Shooting</translation>
    </message>
    <message>
        <source>中止 (%1)</source>
        <translation>Cancel (%1)</translation>
    </message>
    <message>
        <source>カウントダウンを中止</source>
        <translation>Stop the countdown</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>このOSには対応していません</source>
        <translation>This operating system is not supported</translation>
    </message>
    <message>
        <source>９９個以上は連続保存できません&#xd;&#xa;%1&#xd;&#xa;ファイルを[リネーム]して下さい</source>
        <translation>No more than 99 pictures can be saved in a row&#xd;&#xa;%1&#xd;&#xa;Please [rename] the files</translation>
    </message>
    <message>
        <source>不明なエラーが発生しました</source>
        <translation>An unknown error occurred</translation>
    </message>
    <message>
        <source>Windowの取得に失敗しました</source>
        <translation>Could not get the window</translation>
    </message>
    <message>
        <source>システム リソースが足りません</source>
        <translation>Not enough system resources</translation>
    </message>
    <message>
        <source>ファイル "%1" を作成できません: %2</source>
        <translation>Cannot create file "%1": %2</translation>
    </message>
    <message>
        <source>ファイル "%1" のストリームへの書き込みエラー: %2</source>
        <translation>Error writing to file "%1": %2</translation>
    </message>
    <message>
        <source>標準出力のストリームへの書き込みエラー: %1</source>
        <translation>Error writing to standard output: %1</translation>
    </message>
    <message>
        <source>JPEG エラー #%1</source>
        <translation>JPEG error #%1</translation>
    </message>
    <message>
        <source>WebP エラー #%1</source>
        <translation>WebP error #%1</translation>
    </message>
    <message>
        <source>メモリストリームの拡大中にメモリが足りなくなりました</source>
        <translation>Out of memory while growing the memory stream</translation>
    </message>
    <message>
        <source>%1 に書き込めません</source>
        <translation>Cannot write to %1</translation>
    </message>
    <message>
        <source>'%1' は整数ではありません</source>
        <translation>'%1' is not an integer</translation>
    </message>
    <message>
        <source>出力場所の指定</source>
        <translation>Choose the output folder</translation>
    </message>
    <message>
        <source>増やす</source>
        <translation>Increase</translation>
    </message>
    <message>
        <source>減らす</source>
        <translation>Decrease</translation>
    </message>
    <message>
        <source>%1秒</source>
        <translation>%1 seconds</translation>
    </message>
    <message>
        <source>撮影しました</source>
        <translation>Screenshot saved</translation>
    </message>
    <message>
        <source>%1 を %2 に保存しました</source>
        <translation>%1 saved in %2</translation>
    </message>
    <message>
        <source>フォルダを開く</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>モジュール %1 を読み込めません: %2</source>
        <translation>Cannot load the module %1: %2</translation>
    </message>
    <message>
        <source>不明なオプション &apos;%1&apos;</source>
        <translation>Unknown option &apos;%1&apos;</translation>
    </message>
    <message>
        <source>オプション &apos;%1&apos; には値が必要です</source>
        <translation>Option &apos;%1&apos; needs a value</translation>
    </message>
    <message>
        <source>オプション &apos;%1&apos; は値を取りません</source>
        <translation>Option &apos;%1&apos; takes no value</translation>
    </message>
    <message>
        <source>余分な引数 &apos;%1&apos;</source>
        <translation>Unexpected argument &apos;%1&apos;</translation>
    </message>
    <message>
        <source>待ち時間 &apos;%1&apos; は 0 から 3600 までの秒数で指定して下さい</source>
        <translation>Delay &apos;%1&apos;: give seconds from 0 to 3600</translation>
    </message>
    <message>
        <source>モニター &apos;%1&apos; は primary、pointer、all または出力名で指定して下さい</source>
        <translation>Monitor &apos;%1&apos;: give primary, pointer, all or an output&apos;s name</translation>
    </message>
    <message>
        <source>形式 &apos;%1&apos; は jpeg、png、bmp、webp のいずれかで指定して下さい</source>
        <translation>Type &apos;%1&apos;: give jpeg, png, bmp or webp</translation>
    </message>
    <message>
        <source>品質 &apos;%1&apos; は 1 から 100 までで指定して下さい</source>
        <translation>Quality &apos;%1&apos;: give 1 to 100</translation>
    </message>
    <message>
        <source>--window と --monitor は同時に指定できません</source>
        <translation>--window and --monitor cannot be used together</translation>
    </message>
    <message>
        <source>画像を端末には書き出しません (-o - はパイプかファイルへ向けて下さい)</source>
        <translation>Not writing a picture to a terminal (point -o - at a pipe or a file)</translation>
    </message>
    <message>
        <source>使い方は &apos;kvr --help&apos; で表示されます</source>
        <translation>Try &apos;kvr --help&apos; for more information</translation>
    </message>
    <message>
        <source>クリップボードにコピーできません: %1</source>
        <translation>Cannot copy to the clipboard: %1</translation>
    </message>
    <message>
        <source>クリップボードにコピーしました</source>
        <translation>Copied to the clipboard</translation>
    </message>
    <message>
        <source>形式と出力 &apos;%1&apos; の拡張子が合いません</source>
        <translation>The type and the extension of the output &apos;%1&apos; disagree</translation>
    </message>
    <message>
        <source>使えるモニター: %1</source>
        <translation>Monitors: %1</translation>
    </message>
    <message>
        <source>使い方: kvr                     ウィンドウを開きます&#xa;        kvr --shot [オプション...]  ウィンドウなしで 1 枚撮影して終了します&#xa;  -d, --delay=秒数          先に待ちます (0〜3600、既定 0)。端末ならカウントダウンを表示&#xa;  -w, --window              アクティブ ウィンドウ (既定: 画面)&#xa;  -r, --region              待ってから撮った画面の上で範囲を選びます (Esc で取り消し)&#xa;  -g, --geometry=幅x高さ+X+Y  デスクトップ全体のこの範囲 (物理ピクセル、左上から)&#xa;  -m, --monitor=対象        primary、pointer、all、または出力名 (既定: 設定の選択)&#xa;  -t, --type=jpeg|png|bmp|webp 既定: 出力の拡張子、なければ保存された選択&#xa;  -o, --output=パス         ファイル、フォルダ (ウィンドウと同じ連番の名前)、- で標準出力&#xa;  -q, --quality=1..100      JPEG の品質 (既定: 設定の段階 × 10)&#xa;      --grey                グレースケール (どの形式でも)&#xa;  -p, --pointer             マウス ポインタを含めます (既定: 設定の選択)&#xa;      --no-pointer          設定にあっても今回はポインタを含めません&#xa;  -c, --clipboard           画像をクリップボードにコピーします (既定: 設定の選択)&#xa;      --no-clipboard        設定にあっても今回はコピーしません&#xa;  -n, --no-notify           デスクトップ通知を出しません&#xa;  -h, --help                この説明を表示します&#xa;  -V, --version             版を表示します&#xa;-h と -V 以外のオプションは --shot を含みます。-o がなければ、設定の出力場所に&#xa;ウィンドウと同じ名前で保存し、そのパスを標準出力に書きます。&#xa;終了コード: 0 保存しました、1 撮影か書き込みに失敗しました、2 使い方の誤り&#xa;</source>
        <translation>Usage: kvr                       open the window&#xa;       kvr --shot [OPTION...]     take one shot without the window, then exit&#xa;  -d, --delay=SECONDS        wait first (0-3600, default 0); a countdown when on a terminal&#xa;  -w, --window               the active window (default: the screen)&#xa;  -r, --region               choose a region on the screen taken after the delay (Esc cancels)&#xa;  -g, --geometry=WxH+X+Y     this rectangle of the whole desktop (physical pixels from its top-left)&#xa;  -m, --monitor=WHICH        primary, pointer, all, or an output&apos;s name (default: the saved choice)&#xa;  -t, --type=jpeg|png|bmp|webp default: from the output&apos;s extension, else the saved choice&#xa;  -o, --output=PATH          a file, a folder (numbered name as the window makes it), or - for stdout&#xa;  -q, --quality=1..100       JPEG quality (default: the saved step x 10)&#xa;      --grey                 grey (any format)&#xa;  -p, --pointer              include the mouse pointer (default: the saved choice)&#xa;      --no-pointer           not this time, whatever is saved&#xa;  -c, --clipboard            copy the picture to the clipboard (default: the saved choice)&#xa;      --no-clipboard         not this time, whatever is saved&#xa;  -n, --no-notify            no desktop notification&#xa;  -h, --help                 show this help&#xa;  -V, --version              show the version&#xa;Any option but -h and -V implies --shot. Without -o the picture goes to the saved output&#xa;folder under the name the window would give it, and its path is printed on stdout.&#xa;Exit status: 0 written, 1 the shot or the write failed, 2 a usage error&#xa;</translation>
    </message>
    <message>
        <source>このデスクトップではアクティブウィンドウを取得できません</source>
        <translation>This desktop gives no way to capture the active window</translation>
    </message>
    <message>
        <source>画面の画素形式 (%1) には対応していません</source>
        <translation>The screen's pixel format (%1) is not supported</translation>
    </message>
    <message>
        <source>KWin が画面の取得を許可していません&#xd;&#xa;Exec=%1 と X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2 を持つデスクトップ エントリを ~/.local/share/applications に置いて下さい</source>
        <translation>KWin does not allow capturing the screen&#xd;&#xa;Put a desktop entry with Exec=%1 and X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2 in ~/.local/share/applications</translation>
    </message>
    <message>
        <source>デスクトップ ポータル (xdg-desktop-portal) の Screenshot が見つかりません</source>
        <translation>The desktop portal's Screenshot (xdg-desktop-portal) was not found</translation>
    </message>
    <message>
        <source>画面の取得が許可されませんでした</source>
        <translation>Capturing the screen was not allowed</translation>
    </message>
    <message>
        <source>デスクトップ ポータルが画面を取得できませんでした</source>
        <translation>The desktop portal could not capture the screen</translation>
    </message>
    <message>
        <source>デスクトップ ポータルが %1 秒以内に応答しませんでした</source>
        <translation>The desktop portal did not answer within %1 seconds</translation>
    </message>
    <message>
        <source>通常のファイルではありません</source>
        <translation>Not a regular file</translation>
    </message>
    <message>
        <source>アクセスが拒否されました</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>読み取り専用のファイル システムです</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>ディスクに空きがありません</source>
        <translation>No space left on the disk</translation>
    </message>
    <message>
        <source>ファイルが大きすぎます</source>
        <translation>The file is too large</translation>
    </message>
    <message>
        <source>ディスクの使用量が上限を超えました</source>
        <translation>Disk quota exceeded</translation>
    </message>
    <message>
        <source>フォルダが見つかりません</source>
        <translation>The folder does not exist</translation>
    </message>
    <message>
        <source>パスの途中にフォルダでないものがあります</source>
        <translation>A part of the path is not a folder</translation>
    </message>
    <message>
        <source>同じ名前のフォルダがあります</source>
        <translation>A folder of that name exists</translation>
    </message>
    <message>
        <source>名前が長すぎます</source>
        <translation>The name is too long</translation>
    </message>
    <message>
        <source>同じ名前のファイルがあります</source>
        <translation>A file of that name exists</translation>
    </message>
    <message>
        <source>シンボリック リンクです (リンクの先には書き込みません)</source>
        <translation>It is a symbolic link (links are not written through)</translation>
    </message>
    <message>
        <source>画面の取得が許可されませんでした&#xd;&#xa;許可し直すには、次のコマンドを実行してから撮影して下さい。もう一度確認されます:&#xd;&#xa;%1</source>
        <translation>Taking the screen was not allowed&#xd;&#xa;To allow it again, run this command, then take a shot; you will be asked again:&#xd;&#xa;%1</translation>
    </message>
    <message>
        <source>画面の取得を許可するかどうかの確認に答えがありませんでした&#xd;&#xa;もう一度撮影すると、また確認されます</source>
        <translation>The question whether to allow taking the screen was not answered&#xd;&#xa;Take a shot again to be asked again</translation>
    </message>
    <message>
        <source>撮影は取り消されました</source>
        <translation>The shot was cancelled</translation>
    </message>
    <message>
        <source>KWin に画面取得のサービス (%1) がありません&#xd;&#xa;KWin の合成 (デスクトップ エフェクト) が動いているときだけ提供されます</source>
        <translation>KWin has no screenshot service (%1)&#xd;&#xa;KWin offers it only while compositing (desktop effects) is on</translation>
    </message>
    <message>
        <source>%1 の呼び出しが失敗しました: %2&#xd;&#xa;%3</source>
        <translation>The call of %1 failed: %2&#xd;&#xa;%3</translation>
    </message>
    <message>
        <source>画面の取得を許可するかどうかの確認に答えがありませんでした&#xd;&#xa;確認がまだ表示されていれば閉じてから、もう一度撮影して下さい。また確認されます</source>
        <translation>The question whether to allow taking the screen was not answered&#xd;&#xa;If it is still shown, close it, then take a shot again to be asked again</translation>
    </message>
    <message>
        <source>このデスクトップでは、マウスポインタのあるモニターを選んで撮影できません</source>
        <translation>This desktop does not let programs take the monitor under the mouse pointer</translation>
    </message>
    <message>
        <source>このデスクトップでは、モニターを名前で選んで撮影できません</source>
        <translation>This desktop does not let programs choose a monitor by its name</translation>
    </message>
    <message>
        <source>このデスクトップでは、マウスポインタを写せません</source>
        <translation>This desktop does not let programs include the mouse pointer</translation>
    </message>
    <message>
        <source>撮影</source>
        <translation>Capture</translation>
    </message>
    <message>
        <source>全画面のモニター</source>
        <translation>Monitor for All Screen</translation>
    </message>
    <message>
        <source>プライマリモニター</source>
        <translation>Primary monitor</translation>
    </message>
    <message>
        <source>マウスポインタのあるモニター</source>
        <translation>Monitor under the mouse pointer</translation>
    </message>
    <message>
        <source>すべてのモニター</source>
        <translation>All monitors</translation>
    </message>
    <message>
        <source>マウスポインタを含める</source>
        <translation>Include the mouse pointer</translation>
    </message>
    <message>
        <source>クリップボードにもコピーする</source>
        <translation>Also copy to the clipboard</translation>
    </message>
    <message>
        <source>画面にカウントダウンを表示する</source>
        <translation>Show the countdown on screen</translation>
    </message>
    <message>
        <source>このデスクトップはマウスポインタのあるモニターを教えません</source>
        <translation>This desktop does not tell which monitor the mouse pointer is on</translation>
    </message>
    <message>
        <source>このデスクトップはマウスポインタを画像に含められません</source>
        <translation>This desktop cannot put the mouse pointer in a picture</translation>
    </message>
    <message>
        <source>モニター %1 が見つかりません</source>
        <translation>No monitor named %1</translation>
    </message>
    <message>
        <source>--region と --geometry は --monitor と同時に指定できません (範囲はすべてのモニターから選びます)</source>
        <translation>--region and --geometry cannot be given with --monitor (a region is chosen from every monitor)</translation>
    </message>
    <message>
        <source>範囲 &apos;%1&apos; は 幅x高さ+X+Y (例: 1280x720+0+0) で指定して下さい</source>
        <translation>The geometry &apos;%1&apos; must be WIDTHxHEIGHT+X+Y (for example 1280x720+0+0)</translation>
    </message>
    <message>
        <source>前回の範囲を使う</source>
        <translation>Use the last region</translation>
    </message>
    <message>
        <source>範囲</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>カウントダウンの後、撮った画面の上で範囲を選んで撮影</source>
        <translation>Choose a region on the screen taken when the countdown ends</translation>
    </message>
    <message>
        <source>範囲の選択: ドラッグで範囲、Enter で決定、Esc で取り消し</source>
        <translation>Region selection: drag a rectangle, Enter accepts, Esc cancels</translation>
    </message>
    <message>
        <source>範囲 %1 はどのモニターにも掛かっていません</source>
        <translation>The region %1 lies on no monitor</translation>
    </message>
    <message>
        <source>このデスクトップでは範囲を選べません</source>
        <translation>A region cannot be chosen on this desktop</translation>
    </message>
</context>
</TS>
