<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ug" sourcelanguage="zh_CN">
<context>
    <name>uy::docrecode::TForm1</name>
    <message>
        <source>كورۋېلى 3.9  ← كورۋېلى 5.0</source>
        <translation>كورۋېلى 3.9  ← كورۋېلى 5.0</translation>
    </message>
    <message>
        <source>كورۋېلى 5.0  ← كورۋېلى 3.9</source>
        <translation>كورۋېلى 5.0  ← كورۋېلى 3.9</translation>
    </message>
    <message>
        <source>سورۋان ← كورۋېلى 5.0</source>
        <translation>سورۋان ← كورۋېلى 5.0</translation>
    </message>
    <message>
        <source>كورۋېلى 5.0  ← سورۋان</source>
        <translation>كورۋېلى 5.0  ← سورۋان</translation>
    </message>
    <message>
        <source>تېكمىر ← كورۋېلى 5.0</source>
        <translation>تېكمىر ← كورۋېلى 5.0</translation>
    </message>
    <message>
        <source>ھوۋۇران ← كورۋېلى 5.0</source>
        <translation>ھوۋۇران ← كورۋېلى 5.0</translation>
    </message>
    <message>
        <source>زەينەك ← كورۋېلى 5.0</source>
        <translation>زەينەك ← كورۋېلى 5.0</translation>
    </message>
    <message>
        <source>قارۋات 2000 ← كورۋېلى 5.0</source>
        <translation>قارۋات 2000 ← كورۋېلى 5.0</translation>
    </message>
    <message>
        <source>/flmfxturux</source>
        <extracomment>Key string of the convert button&apos;s caption, ئالماشتۇرۇش (convert).</extracomment>
        <translation>ئالماشتۇرۇش</translation>
    </message>
    <message>
        <source>norwftek kod /flmfxturux 3.0</source>
        <extracomment>Key string of the title, نورۋاتېك كود ئالماشتۇرۇش 3.0 (Norvatek code convert 3.0).</extracomment>
        <translation>نورۋاتېك كود ئالماشتۇرۇش 3.0</translation>
    </message>
    <message>
        <source>/eqhx</source>
        <extracomment>Key string of the open button&apos;s caption, ئېچىش (open).</extracomment>
        <translation>ئېچىش</translation>
    </message>
    <message>
        <source>yfrdgm</source>
        <extracomment>Key string of the help button&apos;s caption, ياردەم (help).</extracomment>
        <translation>ياردەم</translation>
    </message>
    <message>
        <source>qekhnhx</source>
        <extracomment>Key string of the exit button&apos;s caption, چېكىنىش (exit).</extracomment>
        <translation>چېكىنىش</translation>
    </message>
    <message>
        <source>tfzhlfx</source>
        <extracomment>Key string of the remove button&apos;s caption, تازىلاش (remove).</extracomment>
        <translation>تازىلاش</translation>
    </message>
    <message>
        <source>docrecode %1 — 维吾尔文文档代码转换</source>
        <translation>docrecode %1 — ئۇيغۇرچە ھۆججەت كود ئالماشتۇرغۇچ</translation>
    </message>
    <message>
        <source>Microsoft Word File(*.doc)</source>
        <translation>Microsoft Word ھۆججىتى(*.doc)</translation>
    </message>
    <message>
        <source>Microsoft Excel File(*.xls)</source>
        <translation>Microsoft Excel ھۆججىتى(*.xls)</translation>
    </message>
    <message>
        <source>Microsoft Powerpoint(*.ppt)</source>
        <translation>Microsoft PowerPoint ھۆججىتى(*.ppt)</translation>
    </message>
    <message>
        <source>All files (*.*)</source>
        <translation>بارلىق ھۆججەتلەر (*.*)</translation>
    </message>
    <message>
        <source>代码转换完毕</source>
        <translation>كود ئالماشتۇرۇش تاماملاندى</translation>
    </message>
    <message numerus="yes">
        <source>转换失败：%n 个文档都未能转换，没有写出任何文件：</source>
        <translation>
            <numerusform>ئالماشتۇرۇش مەغلۇپ بولدى: %n ھۆججەتنى ئالماشتۇرغىلى بولمىدى، ھېچقانداق ھۆججەت يېزىلمىدى:</numerusform>
            <numerusform>ئالماشتۇرۇش مەغلۇپ بولدى: %n ھۆججەتنىڭ ھېچقايسىسىنى ئالماشتۇرغىلى بولمىدى، ھېچقانداق ھۆججەت يېزىلمىدى:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 个文档未能转换（%1 个已转换）：</source>
        <translation>
            <numerusform>%n ھۆججەتنى ئالماشتۇرغىلى بولمىدى (%1 ھۆججەت ئالماشتۇرۇلدى):</numerusform>
            <numerusform>%n ھۆججەتنى ئالماشتۇرغىلى بولمىدى (%1 ھۆججەت ئالماشتۇرۇلدى):</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>…还有 %n 个</source>
        <translation>
            <numerusform>… يەنە %n ھۆججەت</numerusform>
            <numerusform>… يەنە %n ھۆججەت</numerusform>
        </translation>
    </message>
    <message>
        <source>文档已加密</source>
        <translation>ھۆججەت شىفىرلانغان</translation>
    </message>
    <message>
        <source>文档已损坏或格式不符：%1</source>
        <translation>ھۆججەت بۇزۇلغان ياكى فورماتى ماس كەلمەيدۇ: %1</translation>
    </message>
    <message>
        <source>无法转换 %1：%2</source>
        <translation>%1 نى ئالماشتۇرغىلى بولمىدى: %2</translation>
    </message>
    <message>
        <source>没有可以打开的转换结果。</source>
        <translation>ئاچقىلى بولىدىغان ئالماشتۇرۇش نەتىجىسى يوق.</translation>
    </message>
    <message>
        <source>文件不存在：%1</source>
        <translation>ھۆججەت مەۋجۇت ئەمەس: %1</translation>
    </message>
    <message>
        <source>所有文档看起来都适合方向 %1：%2</source>
        <translation>بارلىق ھۆججەتلەر %1-يۆنىلىشكە ماس كېلىدىغاندەك: %2</translation>
    </message>
    <message>
        <source>已按所选方向转换，但以下文档的内容与该方向不符：</source>
        <translation>تاللانغان يۆنىلىش بويىچە ئالماشتۇرۇلدى، لېكىن تۆۋەندىكى ھۆججەتلەرنىڭ مەزمۇنى بۇ يۆنىلىشكە ماس كەلمەيدۇ:</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>看起来已是 Unicode 文本；按方向 %1 转换会使其变成乱码</source>
        <translation>ئاللىقاچان Unicode تېكىستىدەك كۆرۈنىدۇ؛ %1-يۆنىلىش بويىچە ئالماشتۇرۇلسا بۇزۇلۇپ كېتىدۇ</translation>
    </message>
    <message>
        <source>看起来是旧编码（方向 %1：%2）的文本，不是 Unicode 文本；按方向 %3 转换会使其变成乱码</source>
        <translation>Unicode ئەمەس، كونا كودلىنىشتىكى (%1-يۆنىلىش: %2) تېكىستتەك كۆرۈنىدۇ؛ %3-يۆنىلىش بويىچە ئالماشتۇرۇلسا بۇزۇلۇپ كېتىدۇ</translation>
    </message>
    <message numerus="yes">
        <source>%n 个文档中没有需要转换的字符，输出文件与原文件相同：</source>
        <translation>
            <numerusform>%n ھۆججەتتە ئالماشتۇرىدىغان ھەرپ يوق، چىقىرىلغان ھۆججەت ئەسلى ھۆججەت بىلەن ئوخشاش:</numerusform>
            <numerusform>%n ھۆججەتتە ئالماشتۇرىدىغان ھەرپ يوق، چىقىرىلغان ھۆججەت ئەسلى ھۆججەت بىلەن ئوخشاش:</numerusform>
        </translation>
    </message>
    <message>
        <source>ئەرەب يېزىقى ← لاتىن يېزىقى</source>
        <translation>ئەرەب يېزىقى ← لاتىن يېزىقى</translation>
    </message>
    <message>
        <source>ئەرەب يېزىقى ← كىرىل يېزىقى</source>
        <translation>ئەرەب يېزىقى ← كىرىل يېزىقى</translation>
    </message>
    <message>
        <source>ئەرەب يېزىقى ← يېڭى يېزىق</source>
        <translation>ئەرەب يېزىقى ← يېڭى يېزىق</translation>
    </message>
    <message>
        <source>باشقا يېزىقلار ← ئەرەب يېزىقى</source>
        <translation>باشقا يېزىقلار ← ئەرەب يېزىقى</translation>
    </message>
</context>
<context>
    <name>uy::gui::Failures</name>
    <message>
        <source>没有那个文件或目录</source>
        <translation>بۇنداق ھۆججەت ياكى قىسقۇچ يوق</translation>
    </message>
    <message>
        <source>权限不够</source>
        <translation>ھوقۇق يېتىشمەيدۇ</translation>
    </message>
    <message>
        <source>不允许的操作</source>
        <translation>بۇ مەشغۇلاتقا يول قويۇلمايدۇ</translation>
    </message>
    <message>
        <source>设备上没有空间</source>
        <translation>دىسكىدا بوشلۇق قالمىدى</translation>
    </message>
    <message>
        <source>超出磁盘配额</source>
        <translation>دىسكا چەكلىمىسىدىن ئېشىپ كەتتى</translation>
    </message>
    <message>
        <source>只读文件系统</source>
        <translation>پەقەت ئوقۇشقىلا بولىدىغان ھۆججەت سىستېمىسى</translation>
    </message>
    <message>
        <source>是一个文件夹</source>
        <translation>بۇ بىر قىسقۇچ</translation>
    </message>
    <message>
        <source>路径中有一部分不是文件夹</source>
        <translation>يولنىڭ بىر قىسمى قىسقۇچ ئەمەس</translation>
    </message>
    <message>
        <source>文件太大</source>
        <translation>ھۆججەت بەك چوڭ</translation>
    </message>
    <message>
        <source>输入/输出错误</source>
        <translation>كىرگۈزۈش/چىقىرىش خاتالىقى</translation>
    </message>
    <message>
        <source>文件名太长</source>
        <translation>ھۆججەت نامى بەك ئۇزۇن</translation>
    </message>
    <message>
        <source>符号链接的层数太多</source>
        <translation>بەلگە ئۇلىنىشىنىڭ قاتلىمى بەك كۆپ</translation>
    </message>
    <message>
        <source>内存不足</source>
        <translation>ئىچكى ساقلىغۇچ يېتىشمەيدۇ</translation>
    </message>
    <message>
        <source>打开的文件太多</source>
        <translation>ئېچىلغان ھۆججەت بەك كۆپ</translation>
    </message>
    <message>
        <source>设备或资源忙</source>
        <translation>ئۈسكۈنە ياكى مەنبە ئالدىراش</translation>
    </message>
    <message>
        <source>文件已存在</source>
        <translation>ھۆججەت ئاللىقاچان بار</translation>
    </message>
    <message>
        <source>这是一个文件夹</source>
        <translation>ئۇ بىر قىسقۇچ</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>ئادەتتىكى ھۆججەت ئەمەس</translation>
    </message>
    <message>
        <source>已有同名的文件夹</source>
        <translation>شۇ ناملىق قىسقۇچ بار</translation>
    </message>
    <message>
        <source>找不到可用的临时文件名</source>
        <translation>ۋاقىتلىق ھۆججەت ئۈچۈن بوش نام تېپىلمىدى</translation>
    </message>
    <message>
        <source>它就是正在转换的文档</source>
        <translation>ئۇ دەل ئالماشتۇرۇلۇۋاتقان ھۆججەتنىڭ ئۆزى</translation>
    </message>
    <message>
        <source>读取时文件变短了</source>
        <translation>ئوقۇۋاتقاندا ھۆججەت قىسقىرىپ كەتتى</translation>
    </message>
    <message>
        <source>内存不足，无法转换此文档</source>
        <translation>ئىچكى ساقلىغۇچ يېتىشمىگەچكە بۇ ھۆججەتنى ئالماشتۇرغىلى بولمايدۇ</translation>
    </message>
    <message>
        <source>检查未通过，没有写出文件：%1</source>
        <translation>تەكشۈرۈشتىن ئۆتمىدى، ھېچنېمە يېزىلمىدى: %1</translation>
    </message>
    <message>
        <source>文档已损坏或格式不符：%1</source>
        <translation>ھۆججەت بۇزۇلغان ياكى فورماتى ماس كەلمەيدۇ: %1</translation>
    </message>
    <message>
        <source>文档已加密，不能转换：%1</source>
        <translation>ھۆججەت شىفىرلانغان، ئالماشتۇرغىلى بولمايدۇ: %1</translation>
    </message>
    <message>
        <source>无法读取 %1：%2</source>
        <translation>%1 نى ئوقۇغىلى بولمىدى: %2</translation>
    </message>
    <message>
        <source>无法创建 %1：%2</source>
        <translation>%1 نى قۇرغىلى بولمىدى: %2</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>%1 غا يازغىلى بولمىدى: %2</translation>
    </message>
    <message>
        <source>它显示为空文件，却读不到结尾</source>
        <translation>ئۇ قۇرۇق ھۆججەتتەك كۆرۈنىدۇ، لېكىن ئاخىرىغىچە ئوقۇغىلى بولمايدۇ</translation>
    </message>
    <message>
        <source>它已存在</source>
        <translation>ئۇ ئاللىقاچان بار</translation>
    </message>
    <message>
        <source>不替换 %1：%2</source>
        <translation>%1 قاپلانمايدۇ: %2</translation>
    </message>
</context>
<context>
    <name>uy::uyedit::TForm1</name>
    <message>
        <source>宽度: %1cm, 高度: %2cm</source>
        <translation>كەڭلىك: %1cm، ئېگىزلىك: %2cm</translation>
    </message>
    <message>
        <source>窗口尺寸: %1*%2</source>
        <translation>كۆزنەك چوڭلۇقى: %1*%2</translation>
    </message>
    <message>
        <source>Text File(*.UYT)</source>
        <translation>تېكىست ھۆججىتى(*.UYT)</translation>
    </message>
    <message>
        <source>All files(*.*)</source>
        <translation>بارلىق ھۆججەتلەر(*.*)</translation>
    </message>
    <message>
        <source>Cannot open file %1</source>
        <translation>%1 ھۆججىتىنى ئاچقىلى بولمىدى</translation>
    </message>
    <message>
        <source>Cannot create file %1</source>
        <translation>%1 ھۆججىتىنى قۇرغىلى بولمىدى</translation>
    </message>
    <message>
        <source>Stream write error</source>
        <translation>ئېقىمغا يېزىش خاتالىقى</translation>
    </message>
    <message>
        <source>切换维吾尔文、英文输入状态</source>
        <translation>ئۇيغۇرچە ۋە ئىنگلىزچە كىرگۈزۈشنى ئالماشتۇرۇش</translation>
    </message>
    <message>
        <source>打开文件</source>
        <translation>ھۆججەت ئېچىش</translation>
    </message>
    <message>
        <source>新建文件</source>
        <translation>يېڭى ھۆججەت</translation>
    </message>
    <message>
        <source>保存文件</source>
        <translation>ھۆججەت ساقلاش</translation>
    </message>
    <message>
        <source>选择字体</source>
        <translation>خەت نۇسخىسى تاللاش</translation>
    </message>
    <message>
        <source>字体大小</source>
        <translation>خەت چوڭلۇقى</translation>
    </message>
    <message>
        <source>字体颜色</source>
        <translation>خەت رەڭگى</translation>
    </message>
    <message>
        <source>段落对齐</source>
        <translation>ئابزاس توغرىلاش</translation>
    </message>
    <message>
        <source>本内容转换到Unicode(扩展)并复制到粘贴板 (输出到图形\图像处理软件)</source>
        <translation>بۇ مەزمۇننى Unicode (كېڭەيتىلگەن) شەكلىگە ئايلاندۇرۇپ چاپلاش تاختىسىغا كۆچۈرۈش (گرافىك ۋە رەسىم پروگراممىلىرى ئۈچۈن)</translation>
    </message>
    <message>
        <source>System Help</source>
        <translation>سىستېما ياردىمى</translation>
    </message>
    <message>
        <source>ongdin solcf</source>
        <extracomment>Alignment menu: from right to left (shown as it stands, a key string).</extracomment>
        <translation>ئوڭدىن سولغا</translation>
    </message>
    <message>
        <source>soldin ongca</source>
        <extracomment>Alignment menu: from left to right (shown as it stands, a key string).</extracomment>
        <translation>سولدىن ئوڭغا</translation>
    </message>
    <message>
        <source>ongcftgngxax</source>
        <extracomment>Alignment menu: align right (shown as it stands, a key string).</extracomment>
        <translation>ئوڭغا توغرىلاش</translation>
    </message>
    <message>
        <source>solcatangxax</source>
        <extracomment>Alignment menu: align left (shown as it stands, a key string).</extracomment>
        <translation>سولغا توغرىلاش</translation>
    </message>
    <message>
        <source>otturhcatang</source>
        <extracomment>Alignment menu: centre (shown as it stands, a key string).</extracomment>
        <translation>ئوتتۇرىغا توغرىلاش</translation>
    </message>
    <message>
        <source>FileNew</source>
        <translation>يېڭى ھۆججەت</translation>
    </message>
    <message>
        <source>FileOpen</source>
        <translation>ھۆججەت ئېچىش</translation>
    </message>
    <message>
        <source>FileSave</source>
        <translation>ھۆججەت ساقلاش</translation>
    </message>
    <message>
        <source>显示分辨率: %1*%2</source>
        <translation>ئېكران ئېنىقلىقى: %1*%2</translation>
    </message>
    <message>
        <source>导出</source>
        <translation>چىقىرىش</translation>
    </message>
    <message numerus="yes">
        <source>此文件中有 %n 处字节序列不是有效的文本，显示为 �。</source>
        <translation>
            <numerusform>بۇ ھۆججەتتىكى %n بايت تىزمىسى ئىناۋەتلىك تېكىست ئەمەس؛ ئۇلار � بولۇپ كۆرسىتىلىدۇ.</numerusform>
            <numerusform>بۇ ھۆججەتتىكى %n بايت تىزمىسى ئىناۋەتلىك تېكىست ئەمەس؛ ئۇلار � بولۇپ كۆرسىتىلىدۇ.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>此文件含有 %n 个 NUL 字符（U+0000），显示为方框，保存时原样写回。</source>
        <translation>
            <numerusform>بۇ ھۆججەتتە %n NUL ھەرپ (U+0000) بار؛ ئۇلار چاسا بولۇپ كۆرسىتىلىدۇ، ساقلىغاندا ئەينەن يېزىلىدۇ.</numerusform>
            <numerusform>بۇ ھۆججەتتە %n NUL ھەرپ (U+0000) بار؛ ئۇلار چاسا بولۇپ كۆرسىتىلىدۇ، ساقلىغاندا ئەينەن يېزىلىدۇ.</numerusform>
        </translation>
    </message>
    <message>
        <source>它可能是没有字节顺序标记的 UTF-16 文本。</source>
        <translation> ئۇ بايت تەرتىپ بەلگىسى يوق UTF-16 تېكىستى بولۇشى مۇمكىن.</translation>
    </message>
    <message numerus="yes">
        <source>此文件含有 %n 个 U+102029、U+10FDD0 或 U+10FDD1 字符；编辑器用它们显示 U+2029、U+FDD0 和 U+FDD1，保存时写成后者。</source>
        <translation>
            <numerusform>بۇ ھۆججەتتە U+102029، U+10FDD0 ياكى U+10FDD1 دىن %n ھەرپ بار؛ تەھرىرلىگۈچ ئۇلار ئارقىلىق U+2029، U+FDD0 ۋە U+FDD1 نى كۆرسىتىدۇ، ساقلىغاندا ئاشۇلار بولۇپ يېزىلىدۇ.</numerusform>
            <numerusform>بۇ ھۆججەتتە U+102029، U+10FDD0 ياكى U+10FDD1 دىن %n ھەرپ بار؛ تەھرىرلىگۈچ ئۇلار ئارقىلىق U+2029، U+FDD0 ۋە U+FDD1 نى كۆرسىتىدۇ، ساقلىغاندا ئاشۇلار بولۇپ يېزىلىدۇ.</numerusform>
        </translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>&apos;%1&apos; ئىناۋەتلىك پۈتۈن سان ئەمەس</translation>
    </message>
    <message>
        <source>此 UTF-16 文件以半个字符（一个字节）结尾，该字节已略去。</source>
        <translation>بۇ UTF-16 ھۆججىتى يېرىم ھەرپ (بىر بايت) بىلەن ئاخىرلىشىدۇ؛ ئۇ بايت تاشلىۋېتىلدى.</translation>
    </message>
</context>
<context>
    <name>uy::uyedit::UyMemo</name>
    <message>
        <source>Copy as Latin</source>
        <translation>لاتىن يېزىقىدا كۆچۈرۈش</translation>
    </message>
    <message>
        <source>Copy as Cyrillic</source>
        <translation>كىرىل يېزىقىدا كۆچۈرۈش</translation>
    </message>
    <message>
        <source>Copy as New Script</source>
        <translation>يېڭى يېزىقتا كۆچۈرۈش</translation>
    </message>
    <message>
        <source>Paste as Uyghur script</source>
        <translation>ئۇيغۇر يېزىقىغا ئايلاندۇرۇپ چاپلاش</translation>
    </message>
</context>
</TS>
