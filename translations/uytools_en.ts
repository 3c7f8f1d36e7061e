<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>uy::docrecode::TForm1</name>
    <message>
        <source>كورۋېلى 3.9  ← كورۋېلى 5.0</source>
        <translation>Korveli 3.9 → Korveli 5.0</translation>
    </message>
    <message>
        <source>كورۋېلى 5.0  ← كورۋېلى 3.9</source>
        <translation>Korveli 5.0 → Korveli 3.9</translation>
    </message>
    <message>
        <source>سورۋان ← كورۋېلى 5.0</source>
        <translation>Sorvan → Korveli 5.0</translation>
    </message>
    <message>
        <source>كورۋېلى 5.0  ← سورۋان</source>
        <translation>Korveli 5.0 → Sorvan</translation>
    </message>
    <message>
        <source>تېكمىر ← كورۋېلى 5.0</source>
        <translation>Tekmir → Korveli 5.0</translation>
    </message>
    <message>
        <source>ھوۋۇران ← كورۋېلى 5.0</source>
        <translation>Hovuran → Korveli 5.0</translation>
    </message>
    <message>
        <source>زەينەك ← كورۋېلى 5.0</source>
        <translation>Zeynek → Korveli 5.0</translation>
    </message>
    <message>
        <source>قارۋات 2000 ← كورۋېلى 5.0</source>
        <translation>Qarvat 2000 → Korveli 5.0</translation>
    </message>
    <message>
        <source>/flmfxturux</source>
        <extracomment>Key string of the convert button&apos;s caption, ئالماشتۇرۇش (convert).</extracomment>
        <translation>Convert</translation>
    </message>
    <message>
        <source>norwftek kod /flmfxturux 3.0</source>
        <extracomment>Key string of the title, نورۋاتېك كود ئالماشتۇرۇش 3.0 (Norvatek code convert 3.0).</extracomment>
        <translation>Norvatek Code Convert 3.0</translation>
    </message>
    <message>
        <source>/eqhx</source>
        <extracomment>Key string of the open button&apos;s caption, ئېچىش (open).</extracomment>
        <translation>Open</translation>
    </message>
    <message>
        <source>yfrdgm</source>
        <extracomment>Key string of the help button&apos;s caption, ياردەم (help).</extracomment>
        <translation>Help</translation>
    </message>
    <message>
        <source>qekhnhx</source>
        <extracomment>Key string of the exit button&apos;s caption, چېكىنىش (exit).</extracomment>
        <translation>Exit</translation>
    </message>
    <message>
        <source>tfzhlfx</source>
        <extracomment>Key string of the remove button&apos;s caption, تازىلاش (remove).</extracomment>
        <translation>Remove</translation>
    </message>
    <message>
        <source>docrecode %1 — 维吾尔文文档代码转换</source>
        <translation>docrecode %1 — Uyghur document recoder</translation>
    </message>
    <message>
        <source>Microsoft Word File(*.doc)</source>
        <translation>Microsoft Word File(*.doc)</translation>
    </message>
    <message>
        <source>Microsoft Excel File(*.xls)</source>
        <translation>Microsoft Excel File(*.xls)</translation>
    </message>
    <message>
        <source>Microsoft Powerpoint(*.ppt)</source>
        <translation>Microsoft Powerpoint(*.ppt)</translation>
    </message>
    <message>
        <source>All files (*.*)</source>
        <translation>All files (*.*)</translation>
    </message>
    <message>
        <source>代码转换完毕</source>
        <translation>Code conversion finished</translation>
    </message>
    <message numerus="yes">
        <source>转换失败：%n 个文档都未能转换，没有写出任何文件：</source>
        <translation>
            <numerusform>Conversion failed: the %n document could not be converted; nothing was written:</numerusform>
            <numerusform>Conversion failed: none of the %n documents could be converted; nothing was written:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 个文档未能转换（%1 个已转换）：</source>
        <translation>
            <numerusform>%n document could not be converted (%1 converted):</numerusform>
            <numerusform>%n documents could not be converted (%1 converted):</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>…还有 %n 个</source>
        <translation>
            <numerusform>… and %n more</numerusform>
            <numerusform>… and %n more</numerusform>
        </translation>
    </message>
    <message>
        <source>文档已加密</source>
        <translation>the document is encrypted</translation>
    </message>
    <message>
        <source>文档已损坏或格式不符：%1</source>
        <translation>the document is damaged or not what it seems: %1</translation>
    </message>
    <message>
        <source>无法转换 %1：%2</source>
        <translation>cannot convert %1: %2</translation>
    </message>
    <message>
        <source>没有可以打开的转换结果。</source>
        <translation>There is no converted file to open.</translation>
    </message>
    <message>
        <source>文件不存在：%1</source>
        <translation>The file does not exist: %1</translation>
    </message>
    <message>
        <source>所有文档看起来都适合方向 %1：%2</source>
        <translation>All documents look like direction %1: %2</translation>
    </message>
    <message>
        <source>已按所选方向转换，但以下文档的内容与该方向不符：</source>
        <translation>Converted as asked, though the content contradicts the direction:</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>看起来已是 Unicode 文本；按方向 %1 转换会使其变成乱码</source>
        <translation>looks like Unicode text already; recoding it in direction %1 would garble it</translation>
    </message>
    <message>
        <source>看起来是旧编码（方向 %1：%2）的文本，不是 Unicode 文本；按方向 %3 转换会使其变成乱码</source>
        <translation>looks like a legacy encoding (direction %1: %2), not Unicode text; recoding it in direction %3 would garble it</translation>
    </message>
    <message numerus="yes">
        <source>%n 个文档中没有需要转换的字符，输出文件与原文件相同：</source>
        <translation>
            <numerusform>%n document holds nothing to recode; its output is the same as the document:</numerusform>
            <numerusform>%n documents hold nothing to recode; their outputs are the same as the documents:</numerusform>
        </translation>
    </message>
    <message>
        <source>ئەرەب يېزىقى ← لاتىن يېزىقى</source>
        <translation>Arabic script → Latin script</translation>
    </message>
    <message>
        <source>ئەرەب يېزىقى ← كىرىل يېزىقى</source>
        <translation>Arabic script → Cyrillic script</translation>
    </message>
    <message>
        <source>ئەرەب يېزىقى ← يېڭى يېزىق</source>
        <translation>Arabic script → New Script</translation>
    </message>
    <message>
        <source>باشقا يېزىقلار ← ئەرەب يېزىقى</source>
        <translation>Other scripts → Arabic script</translation>
    </message>
</context>
<context>
    <name>uy::gui::Failures</name>
    <message>
        <source>没有那个文件或目录</source>
        <translation>No such file or directory</translation>
    </message>
    <message>
        <source>权限不够</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>不允许的操作</source>
        <translation>Operation not permitted</translation>
    </message>
    <message>
        <source>设备上没有空间</source>
        <translation>No space left on device</translation>
    </message>
    <message>
        <source>超出磁盘配额</source>
        <translation>Disk quota exceeded</translation>
    </message>
    <message>
        <source>只读文件系统</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>是一个文件夹</source>
        <translation>Is a folder</translation>
    </message>
    <message>
        <source>路径中有一部分不是文件夹</source>
        <translation>A part of the path is not a folder</translation>
    </message>
    <message>
        <source>文件太大</source>
        <translation>File too large</translation>
    </message>
    <message>
        <source>输入/输出错误</source>
        <translation>Input/output error</translation>
    </message>
    <message>
        <source>文件名太长</source>
        <translation>File name too long</translation>
    </message>
    <message>
        <source>符号链接的层数太多</source>
        <translation>Too many levels of symbolic links</translation>
    </message>
    <message>
        <source>内存不足</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>打开的文件太多</source>
        <translation>Too many open files</translation>
    </message>
    <message>
        <source>设备或资源忙</source>
        <translation>Device or resource busy</translation>
    </message>
    <message>
        <source>文件已存在</source>
        <translation>File exists</translation>
    </message>
    <message>
        <source>这是一个文件夹</source>
        <translation>it is a folder</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>已有同名的文件夹</source>
        <translation>a folder has that name</translation>
    </message>
    <message>
        <source>找不到可用的临时文件名</source>
        <translation>no free temporary name</translation>
    </message>
    <message>
        <source>它就是正在转换的文档</source>
        <translation>it is the document being recoded</translation>
    </message>
    <message>
        <source>读取时文件变短了</source>
        <translation>the file became shorter while it was read</translation>
    </message>
    <message>
        <source>内存不足，无法转换此文档</source>
        <translation>not enough memory to recode the document</translation>
    </message>
    <message>
        <source>检查未通过，没有写出文件：%1</source>
        <translation>check failed, nothing written: %1</translation>
    </message>
    <message>
        <source>文档已损坏或格式不符：%1</source>
        <translation>the document is damaged or not what it seems: %1</translation>
    </message>
    <message>
        <source>文档已加密，不能转换：%1</source>
        <translation>the document is encrypted and cannot be recoded: %1</translation>
    </message>
    <message>
        <source>无法读取 %1：%2</source>
        <translation>cannot read %1: %2</translation>
    </message>
    <message>
        <source>无法创建 %1：%2</source>
        <translation>cannot create %1: %2</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>cannot write %1: %2</translation>
    </message>
    <message>
        <source>它显示为空文件，却读不到结尾</source>
        <translation>it says it is empty but does not end</translation>
    </message>
    <message>
        <source>它已存在</source>
        <translation>it exists already</translation>
    </message>
    <message>
        <source>不替换 %1：%2</source>
        <translation>will not replace %1: %2</translation>
    </message>
</context>
<context>
    <name>uy::uyedit::TForm1</name>
    <message>
        <source>宽度: %1cm, 高度: %2cm</source>
        <translation>Width: %1cm, height: %2cm</translation>
    </message>
    <message>
        <source>窗口尺寸: %1*%2</source>
        <translation>Window size: %1*%2</translation>
    </message>
    <message>
        <source>Text File(*.UYT)</source>
        <translation>Text File(*.UYT)</translation>
    </message>
    <message>
        <source>All files(*.*)</source>
        <translation>All files(*.*)</translation>
    </message>
    <message>
        <source>Cannot open file %1</source>
        <translation>Cannot open file %1</translation>
    </message>
    <message>
        <source>Cannot create file %1</source>
        <translation>Cannot create file %1</translation>
    </message>
    <message>
        <source>Stream write error</source>
        <translation>Stream write error</translation>
    </message>
    <message>
        <source>切换维吾尔文、英文输入状态</source>
        <translation>Switch between Uyghur and English input</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>Open file</translation>
    </message>
    <message>
        <source>新建文件</source>
        <translation>New file</translation>
    </message>
    <message>
        <source>保存文件</source>
        <translation>Save file</translation>
    </message>
    <message>
        <source>选择字体</source>
        <translation>Choose font</translation>
    </message>
    <message>
        <source>字体大小</source>
        <translation>Font size</translation>
    </message>
    <message>
        <source>字体颜色</source>
        <translation>Font colour</translation>
    </message>
    <message>
        <source>段落对齐</source>
        <translation>Paragraph alignment</translation>
    </message>
    <message>
        <source>本内容转换到Unicode(扩展)并复制到粘贴板 (输出到图形\图像处理软件)</source>
        <translation>Convert this text to Unicode (extended forms) and copy it to the clipboard (for graphics and image programs)</translation>
    </message>
    <message>
        <source>System Help</source>
        <translation>System Help</translation>
    </message>
    <message>
        <source>ongdin solcf</source>
        <extracomment>Alignment menu: from right to left (shown as it stands, a key string).</extracomment>
        <translation>Right to left</translation>
    </message>
    <message>
        <source>soldin ongca</source>
        <extracomment>Alignment menu: from left to right (shown as it stands, a key string).</extracomment>
        <translation>Left to right</translation>
    </message>
    <message>
        <source>ongcftgngxax</source>
        <extracomment>Alignment menu: align right (shown as it stands, a key string).</extracomment>
        <translation>Align right</translation>
    </message>
    <message>
        <source>solcatangxax</source>
        <extracomment>Alignment menu: align left (shown as it stands, a key string).</extracomment>
        <translation>Align left</translation>
    </message>
    <message>
        <source>otturhcatang</source>
        <extracomment>Alignment menu: centre (shown as it stands, a key string).</extracomment>
        <translation>Centre</translation>
    </message>
    <message>
        <source>FileNew</source>
        <translation>New</translation>
    </message>
    <message>
        <source>FileOpen</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>FileSave</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>显示分辨率: %1*%2</source>
        <translation>Screen resolution: %1*%2</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>Export</translation>
    </message>
    <message numerus="yes">
        <source>此文件中有 %n 处字节序列不是有效的文本，显示为 �。</source>
        <translation>
            <numerusform>%n byte sequence in this file is not valid text; it is shown as �.</numerusform>
            <numerusform>%n byte sequences in this file are not valid text; they are shown as �.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>此文件含有 %n 个 NUL 字符（U+0000），显示为方框，保存时原样写回。</source>
        <translation>
            <numerusform>This file holds %n NUL character (U+0000); it is shown as a box and saved back as it is.</numerusform>
            <numerusform>This file holds %n NUL characters (U+0000); they are shown as boxes and saved back as they are.</numerusform>
        </translation>
    </message>
    <message>
        <source>它可能是没有字节顺序标记的 UTF-16 文本。</source>
        <translation> It may be UTF-16 text without a byte-order mark.</translation>
    </message>
    <message numerus="yes">
        <source>此文件含有 %n 个 U+102029、U+10FDD0 或 U+10FDD1 字符；编辑器用它们显示 U+2029、U+FDD0 和 U+FDD1，保存时写成后者。</source>
        <translation>
            <numerusform>This file holds %n character from U+102029, U+10FDD0 and U+10FDD1, which the editor uses to show U+2029, U+FDD0 and U+FDD1; saving writes it as that character.</numerusform>
            <numerusform>This file holds %n characters from U+102029, U+10FDD0 and U+10FDD1, which the editor uses to show U+2029, U+FDD0 and U+FDD1; saving writes them as those characters.</numerusform>
        </translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>&apos;%1&apos; is not a valid integer value</translation>
    </message>
    <message>
        <source>此 UTF-16 文件以半个字符（一个字节）结尾，该字节已略去。</source>
        <translation>This UTF-16 file ends with half a character (one byte); it is left out.</translation>
    </message>
</context>
<context>
    <name>uy::uyedit::UyMemo</name>
    <message>
        <source>Copy as Latin</source>
        <translation>Copy as Latin</translation>
    </message>
    <message>
        <source>Copy as Cyrillic</source>
        <translation>Copy as Cyrillic</translation>
    </message>
    <message>
        <source>Copy as New Script</source>
        <translation>Copy as New Script</translation>
    </message>
    <message>
        <source>Paste as Uyghur script</source>
        <translation>Paste as Uyghur script</translation>
    </message>
</context>
</TS>
