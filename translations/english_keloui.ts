<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>BackupList</name>
    <message>
        <source>╳</source>
        <translation>╳</translation>
    </message>
    <message>
        <source>本地记录(若记录未显示在列表中，请确保记录文件名称与文件夹名称保持一致)</source>
        <translation>Local records (a record is listed only when its file names match its folder name)</translation>
    </message>
    <message>
        <source>状态：</source>
        <translation>Status:</translation>
    </message>
    <message>
        <source>路径：</source>
        <translation>Path:</translation>
    </message>
    <message>
        <source>查看文件夹</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>导入外部数据</source>
        <translation>Import data</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>本地文件名</source>
        <translation>Local name</translation>
    </message>
    <message>
        <source>设备记录名</source>
        <translation>Instrument record</translation>
    </message>
    <message>
        <source>开始时间</source>
        <translation>Start time</translation>
    </message>
    <message>
        <source>采集时长</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>位宽（Bit）</source>
        <translation>Bit width</translation>
    </message>
    <message>
        <source>是否可用</source>
        <translation>Usable</translation>
    </message>
    <message>
        <source>频段%1</source>
        <translation>Band %1</translation>
    </message>
    <message>
        <source>备注</source>
        <translation>Remark</translation>
    </message>
    <message>
        <source>上传进度</source>
        <translation>Upload progress</translation>
    </message>
    <message>
        <source>下载进度</source>
        <translation>Download progress</translation>
    </message>
    <message>
        <source>可用</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>不可用</source>
        <translation>No</translation>
    </message>
    <message>
        <source>正在搜索备份文件</source>
        <translation>Searching local records</translation>
    </message>
    <message>
        <source>未找到备份记录</source>
        <translation>No local records found</translation>
    </message>
    <message>
        <source>本地记录查找完毕</source>
        <translation>Local record search finished</translation>
    </message>
    <message>
        <source>刷新失败，请连接设备后重试</source>
        <translation>Refresh failed: connect the instrument and try again</translation>
    </message>
    <message>
        <source>当前记录包含通道大于设备通道，若继续下载将丢弃超出设备通道数的频点</source>
        <translation>This record has more channels than the instrument. If you download it, the bands beyond the instrument&apos;s channels are dropped.</translation>
    </message>
    <message>
        <source>继续下载</source>
        <translation>Download anyway</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>选择的记录不满足设备设备通道数，无法下载</source>
        <translation>The selected record does not match the instrument&apos;s channels and cannot be downloaded</translation>
    </message>
    <message>
        <source>未选择需要下载的记录</source>
        <translation>No record selected for download</translation>
    </message>
    <message>
        <source>选择的记录有误，请刷新后重新选择</source>
        <translation>The selected record is not valid. Refresh and select it again.</translation>
    </message>
    <message>
        <source>启动下载失败</source>
        <translation>Download could not start</translation>
    </message>
    <message>
        <source>当前记录本地数据不完整，无法下载!!!</source>
        <translation>The local data of this record is incomplete and cannot be downloaded!</translation>
    </message>
    <message>
        <source>下载确认</source>
        <translation>Confirm download</translation>
    </message>
    <message>
        <source>作为新记录下载</source>
        <translation>Download as new</translation>
    </message>
    <message>
        <source>取消下载</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>删除确认</source>
        <translation>Confirm delete</translation>
    </message>
    <message>
        <source>设备未连接，无法下载</source>
        <translation>Instrument not connected: no download</translation>
    </message>
    <message>
        <source>未选择记录</source>
        <translation>No record chosen</translation>
    </message>
    <message>
        <source>尚未选择任何本地记录。
请点选要删除的记录后重试。</source>
        <translation>No local record is chosen.
Click the record to delete, then try again.</translation>
    </message>
    <message>
        <source>是否删除本地记录？
设备记录名：%1
本地文件名：%2</source>
        <translation>Delete this local record?
Instrument record: %1
Local name: %2</translation>
    </message>
    <message>
        <source>采集卡 %1：数据文件不存在</source>
        <translation>Card %1: the data file does not exist</translation>
    </message>
    <message>
        <source>采集卡 %1：数据文件只有 %2 字节，应有 %3 字节</source>
        <translation>Card %1: the data file holds only %2 bytes of its %3</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>设备上已有该记录，可选择作为新记录下载。</source>
        <translation>The instrument already holds this record; it can be downloaded as a new record.</translation>
    </message>
    <message>
        <source>设备记录列表尚未获取，设备上可能已有该记录，可选择作为新记录下载。</source>
        <translation>The instrument&apos;s record list has not been fetched; the instrument may already hold this record, so it can be downloaded as a new record.</translation>
    </message>
    <message>
        <source>新记录的记录名为当前时间（约 %1），开始时间仍为原记录的 %2；原记录不受影响。是否下载？</source>
        <translation>The new record&apos;s name is the current time (about %1); its start time stays the original&apos;s %2; the original record is not affected. Download?</translation>
    </message>
    <message>
        <source>本地记录管理</source>
        <translation>Local records</translation>
    </message>
</context>
<context>
    <name>BootScreen</name>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>采集回放仪控制软件</source>
        <translation>Record and Playback Control</translation>
    </message>
    <message>
        <source>╳</source>
        <translation>╳</translation>
    </message>
    <message>
        <source>连接中...</source>
        <translation>Connecting...</translation>
    </message>
    <message>
        <source>设备IP地址：</source>
        <translation>Device IP address:</translation>
    </message>
    <message>
        <source>修改目标IP</source>
        <translation>Change target IP</translation>
    </message>
    <message>
        <source>IP不合法</source>
        <translation>Invalid IP address</translation>
    </message>
    <message>
        <source>连接失败（%1 次），每 %2 秒自动重试</source>
        <translation>Connection failed (attempts: %1); retrying every %2 s</translation>
    </message>
</context>
<context>
    <name>CPCIDB9</name>
    <message>
        <source>定位有效性</source>
        <translation>Position validity</translation>
    </message>
    <message>
        <source>卫星编号有效性</source>
        <translation>PRN validity</translation>
    </message>
    <message>
        <source>授时信息有效性</source>
        <translation>Timing validity</translation>
    </message>
    <message>
        <source>北斗周</source>
        <translation>BDS week</translation>
    </message>
    <message>
        <source>北斗周内秒</source>
        <translation>BDS seconds of week</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>经度</source>
        <translation>Longitude</translation>
    </message>
    <message>
        <source>纬度</source>
        <translation>Latitude</translation>
    </message>
    <message>
        <source>高度</source>
        <translation>Height</translation>
    </message>
    <message>
        <source>PDOP</source>
        <translation>PDOP</translation>
    </message>
    <message>
        <source>软件版本</source>
        <translation>Software version</translation>
    </message>
    <message>
        <source>自检结果</source>
        <translation>Self-check</translation>
    </message>
    <message>
        <source>北斗B3卫星列表</source>
        <translation>BDS B3 satellites</translation>
    </message>
    <message>
        <source>卫星数目:</source>
        <translation>Satellites:</translation>
    </message>
    <message>
        <source>载噪比频点:</source>
        <translation>C/N0 band:</translation>
    </message>
    <message>
        <source>卫星载噪比列表</source>
        <translation>Satellite C/N0</translation>
    </message>
    <message>
        <source>通道开关</source>
        <translation>Channel switch</translation>
    </message>
    <message>
        <source>通道1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>通道2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source>有效</source>
        <translation>Valid</translation>
    </message>
    <message>
        <source>无效</source>
        <translation>Invalid</translation>
    </message>
    <message>
        <source>卫星%1:</source>
        <translation>Satellite %1:</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>故障</source>
        <translation>Fault</translation>
    </message>
    <message>
        <source>卫星%1</source>
        <translation>Satellite %1</translation>
    </message>
    <message>
        <source>由设备数据点亮，不可点选</source>
        <translation>Lit by the instrument&apos;s data; not selectable</translation>
    </message>
    <message>
        <source>DB9数据</source>
        <translation>DB9 Data</translation>
    </message>
</context>
<context>
    <name>CollectSet</name>
    <message>
        <source>采集设置</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>采集通道</source>
        <translation>Recording channels</translation>
    </message>
    <message>
        <source>通道数：- -</source>
        <translation>Channels: - -</translation>
    </message>
    <message>
        <source>频段数：- -</source>
        <translation>Bands: - -</translation>
    </message>
    <message>
        <source>(注：以 * 号开头的频段为用户自定义频段)</source>
        <translation>(Bands starting with * are user-defined)</translation>
    </message>
    <message>
        <source>采集参数</source>
        <translation>Recording parameters</translation>
    </message>
    <message>
        <source>记 录 名：</source>
        <translation>Record name:</translation>
    </message>
    <message>
        <source>位    宽：</source>
        <translation>Bit width:</translation>
    </message>
    <message>
        <source>转发时延：</source>
        <translation>Forwarding delay:</translation>
    </message>
    <message>
        <source>( ns )</source>
        <translation>( ns )</translation>
    </message>
    <message>
        <source>当前带宽：</source>
        <translation>Bandwidth:</translation>
    </message>
    <message>
        <source>--</source>
        <translation>--</translation>
    </message>
    <message>
        <source>MHz</source>
        <translation>MHz</translation>
    </message>
    <message>
        <source>当前采样率：</source>
        <translation>Sample rate:</translation>
    </message>
    <message>
        <source>MSPS</source>
        <translation>MSPS</translation>
    </message>
    <message>
        <source>同步模式</source>
        <translation>Trigger mode</translation>
    </message>
    <message>
        <source>内部触发</source>
        <translation>Internal trigger</translation>
    </message>
    <message>
        <source>外部触发</source>
        <translation>External trigger</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;同步方式说明：&lt;/p&gt;&lt;p&gt;1、内部触发：使用设备内部时钟作为开始采集的启动信号&lt;/p&gt;&lt;p&gt;2、外部触发：使用外部1pps触发信号作为开始采集的启动信号&lt;/p&gt;&lt;p&gt;注：外部触发方式，设备需要接入外部输入的触发信号&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Trigger modes:&lt;/p&gt;&lt;p&gt;1. Internal trigger: the instrument&apos;s internal clock gives the start signal.&lt;/p&gt;&lt;p&gt;2. External trigger: an external 1PPS signal gives the start signal.&lt;/p&gt;&lt;p&gt;Note: external trigger needs a trigger signal connected to the instrument&apos;s input.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>输出通道设置</source>
        <translation>Output channels</translation>
    </message>
    <message>
        <source>通道1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>通道2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source>串口采集：</source>
        <translation>Serial capture:</translation>
    </message>
    <message>
        <source>启用</source>
        <translation>Enable</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;串口采集说明：&lt;/p&gt;&lt;p&gt;串口采集仅支持 8 Bit 及以上位宽。&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Serial capture:&lt;/p&gt;&lt;p&gt;Serial capture needs a bit width of 8 bits or more.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>输出功率衰减</source>
        <translation>Output power attenuation</translation>
    </message>
    <message>
        <source>衰减通道：</source>
        <translation>Channel:</translation>
    </message>
    <message>
        <source>所有通道</source>
        <translation>All channels</translation>
    </message>
    <message>
        <source>衰减功率：</source>
        <translation>Attenuation:</translation>
    </message>
    <message>
        <source>启动模式</source>
        <translation>Start mode</translation>
    </message>
    <message>
        <source>普通模式</source>
        <translation>Immediate</translation>
    </message>
    <message>
        <source>定时模式</source>
        <translation>Timed</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;采集时间设置说明：&lt;/p&gt;&lt;p&gt;1、定时采集开始时间若早于当前时间，则以当前时间启动；&lt;/p&gt;&lt;p&gt;2、定时停止时间不可比当前时间或定时开始所设时间早；&lt;/p&gt;&lt;p&gt;3、开始时间与定时时间间隔不可低于一分钟；&lt;/p&gt;&lt;p&gt;3、手动停止优先级高于定时停止，未到达所设停止时间点击停止按钮，立刻停止采集；&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Timed recording:&lt;/p&gt;&lt;p&gt;1. A start time earlier than now starts the recording now;&lt;/p&gt;&lt;p&gt;2. The stop time may not be earlier than now or than the start time;&lt;/p&gt;&lt;p&gt;3. Start and stop must be at least one minute apart;&lt;/p&gt;&lt;p&gt;3. A manual stop overrides the timed stop: pressing Stop before the stop time stops the recording at once.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>开始时间：</source>
        <translation>Start time:</translation>
    </message>
    <message>
        <source>未设置</source>
        <translation>Not set</translation>
    </message>
    <message>
        <source>停止时间：</source>
        <translation>Stop time:</translation>
    </message>
    <message>
        <source>在此处输入备注</source>
        <translation>Enter a remark here</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>调试测试</source>
        <translation>Debug tests</translation>
    </message>
    <message>
        <source>采集测试</source>
        <translation>Loop recording</translation>
    </message>
    <message>
        <source>采集时长</source>
        <translation>Duration (s)</translation>
    </message>
    <message>
        <source>60</source>
        <translation>60</translation>
    </message>
    <message>
        <source>测试开始</source>
        <translation>Start test</translation>
    </message>
    <message>
        <source>测试停止</source>
        <translation>Stop test</translation>
    </message>
    <message>
        <source>随机衰减测试</source>
        <translation>Random attenuation</translation>
    </message>
    <message>
        <source>间隔（ms)</source>
        <translation>Interval (ms)</translation>
    </message>
    <message>
        <source>1000</source>
        <translation>1000</translation>
    </message>
    <message>
        <source>转发参数</source>
        <translation>Forwarding parameters</translation>
    </message>
    <message>
        <source>当前时间：</source>
        <translation>Current time:</translation>
    </message>
    <message>
        <source>转发中</source>
        <translation>Forwarding</translation>
    </message>
    <message>
        <source>不可用</source>
        <translation>Unavailable</translation>
    </message>
    <message>
        <source>采集</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>当前处于其他工作状态，采集不可用!!</source>
        <translation>The instrument is busy with another task; recording is not available!</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>无可用通道!</source>
        <translation>No channel available!</translation>
    </message>
    <message>
        <source>等待中</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>启动失败</source>
        <translation>Start failed</translation>
    </message>
    <message>
        <source>停止失败</source>
        <translation>Stop failed</translation>
    </message>
    <message>
        <source>停止采集/转发失败，请重试</source>
        <translation>Stopping recording/forwarding failed, please try again</translation>
    </message>
    <message>
        <source>启动采集/转发失败</source>
        <translation>Starting recording/forwarding failed</translation>
    </message>
    <message>
        <source>设备上报失败</source>
        <translation>Instrument reported a failure</translation>
    </message>
    <message>
        <source>停止采集/转发失败</source>
        <translation>Stopping recording/forwarding failed</translation>
    </message>
    <message>
        <source>未知的频段:%1</source>
        <translation>Unknown band: %1</translation>
    </message>
    <message>
        <source>转发</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>频段%1：</source>
        <translation>Band %1:</translation>
    </message>
    <message>
        <source>通道数:%1</source>
        <translation>Channels: %1</translation>
    </message>
    <message>
        <source>频段数:</source>
        <translation>Bands: </translation>
    </message>
    <message>
        <source>无效</source>
        <translation>Invalid</translation>
    </message>
    <message>
        <source>不可多通道选择同一频段</source>
        <translation>Two channels cannot record the same band</translation>
    </message>
    <message>
        <source>[此注释由系统生成]
</source>
        <translation>[Generated by the system]
</translation>
    </message>
    <message>
        <source>&lt;频段%3&gt;自定义频段ID: %1 中心频率: %2
</source>
        <translation>&lt;Band %3&gt; custom band ID: %1, centre frequency: %2
</translation>
    </message>
    <message>
        <source>启动采集失败
当前定时采集时长低于</source>
        <translation>Recording not started
The timed recording is shorter than </translation>
    </message>
    <message>
        <source>未选择位宽</source>
        <translation>No bit width selected</translation>
    </message>
    <message>
        <source>频段%1未选择</source>
        <translation>Band %1: no band selected</translation>
    </message>
    <message>
        <source>启动采集/转发</source>
        <translation>Start recording/forwarding</translation>
    </message>
    <message>
        <source>设备在响应超时后已开始采集/转发</source>
        <translation>After not answering in time, the instrument has started recording/forwarding</translation>
    </message>
    <message>
        <source>停止采集/转发</source>
        <translation>Stop recording/forwarding</translation>
    </message>
    <message>
        <source>设备在响应超时后已停止采集/转发</source>
        <translation>After not answering in time, the instrument has stopped recording/forwarding</translation>
    </message>
    <message>
        <source>采集中</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>空闲中</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>其他工作状态</source>
        <translation>busy with something else</translation>
    </message>
</context>
<context>
    <name>ConfigWords</name>
    <message>
        <source>设置成功</source>
        <translation>Setting applied</translation>
    </message>
    <message>
        <source>%1已设置为 %2</source>
        <translation>%1 set to %2</translation>
    </message>
    <message>
        <source>%1设置失败</source>
        <translation>%1 not set</translation>
    </message>
    <message>
        <source>设备拒绝了%1的设置</source>
        <translation>The instrument refused the %1 setting</translation>
    </message>
    <message>
        <source>设备在超时后确认：%1已设置为 %2</source>
        <translation>The instrument confirmed after the wait ran out: %1 set to %2</translation>
    </message>
    <message>
        <source>设备在超时后拒绝了%1的设置</source>
        <translation>The instrument refused the %1 setting after the wait ran out</translation>
    </message>
    <message>
        <source>%1设置结果未知</source>
        <translation>%1: outcome unknown</translation>
    </message>
    <message>
        <source>设备未应答，无法确定%1是否已设置为 %2</source>
        <translation>The instrument did not answer; whether %1 is set to %2 is unknown</translation>
    </message>
    <message>
        <source>设备应答不完整，无法确定%1是否已设置为 %2</source>
        <translation>The instrument&apos;s answer was incomplete; whether %1 is set to %2 is unknown</translation>
    </message>
    <message>
        <source>%1未发送</source>
        <translation>%1 not sent</translation>
    </message>
    <message>
        <source>上一项设置仍在等待设备确认，本次设置未发送</source>
        <translation>The previous setting still waits for the instrument&apos;s confirmation; this one was not sent</translation>
    </message>
    <message>
        <source>网络发送失败</source>
        <translation>Network send failed</translation>
    </message>
    <message>
        <source>读取完成</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1读取失败</source>
        <translation>%1 not read</translation>
    </message>
    <message>
        <source>设备未应答，显示的仍是之前的%1</source>
        <translation>The instrument did not answer; the %1 shown is the one from before</translation>
    </message>
    <message>
        <source>%1未读取</source>
        <translation>%1 not read</translation>
    </message>
    <message>
        <source>上一次读取仍在等待设备应答</source>
        <translation>The previous read still waits for the instrument&apos;s answer</translation>
    </message>
    <message>
        <source>修改设备IP</source>
        <translation>Change the instrument IP</translation>
    </message>
    <message>
        <source>%1：设备未应答，设备地址的配置未更改</source>
        <translation>%1: the device did not answer; the configured device address was not changed</translation>
    </message>
    <message>
        <source>设备应答不完整，无法确定设备是否接受了地址 %1。设备地址的配置未更改</source>
        <translation>The instrument&apos;s answer was incomplete: the PC cannot tell whether it took the address %1. The configured instrument address is unchanged</translation>
    </message>
</context>
<context>
    <name>DeviceAbout</name>
    <message>
        <source>软件版本:VA.%1.%2.%3</source>
        <translation>Software: VA.%1.%2.%3</translation>
    </message>
    <message>
        <source>[采集卡 %1]</source>
        <translation>[Card %1]</translation>
    </message>
    <message>
        <source>硬件版本:V%1.%2</source>
        <translation>Hardware: V%1.%2</translation>
    </message>
    <message>
        <source>系统设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>系统日志</source>
        <translation>System log</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>SN  编  号：</source>
        <translation>Serial no.:</translation>
    </message>
    <message>
        <source>控制卡版本：</source>
        <translation>Control card:</translation>
    </message>
    <message>
        <source>通   道   数：</source>
        <translation>Channels:</translation>
    </message>
    <message>
        <source>采集卡版本：</source>
        <translation>Acquisition card:</translation>
    </message>
    <message>
        <source>点击显示</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>上位机版本：</source>
        <translation>PC software:</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Firmware update</translation>
    </message>
    <message>
        <source>选择更新zip包</source>
        <translation>Choose the update ZIP</translation>
    </message>
    <message>
        <source>(拖动或浏览选择文件)</source>
        <translation>(drop a file or browse)</translation>
    </message>
    <message>
        <source>浏览文件</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>未选择</source>
        <translation>None chosen</translation>
    </message>
    <message>
        <source>上传进度</source>
        <translation>Upload progress</translation>
    </message>
    <message>
        <source>发送更新</source>
        <translation>Send update</translation>
    </message>
    <message>
        <source>硬件版本信息</source>
        <translation>Hardware versions</translation>
    </message>
    <message>
        <source>选择一个更新ZIP包</source>
        <translation>Choose an update ZIP package</translation>
    </message>
    <message>
        <source>ZIP压缩包(*.zip)</source>
        <translation>ZIP archives (*.zip)</translation>
    </message>
    <message>
        <source>无效的更新包</source>
        <translation>Invalid update package</translation>
    </message>
    <message>
        <source>请选择正确ZIP格式的更新包</source>
        <translation>Please choose an update package in ZIP format</translation>
    </message>
    <message>
        <source>(无脚本)</source>
        <translation>(no script)</translation>
    </message>
    <message>
        <source>控制卡更新包%1</source>
        <translation>Control card package %1</translation>
    </message>
    <message>
        <source>前面板更新包%1</source>
        <translation>Front panel package %1</translation>
    </message>
    <message>
        <source>采集卡更新包%1</source>
        <translation>Acquisition card package %1</translation>
    </message>
    <message>
        <source>打开更新ZIP包失败</source>
        <translation>Cannot open the update ZIP</translation>
    </message>
    <message>
        <source>上传结果</source>
        <translation>Upload result</translation>
    </message>
    <message>
        <source>发送更新包失败</source>
        <translation>Sending the update package failed</translation>
    </message>
    <message>
        <source>发送更新包成功，等待设备更新</source>
        <translation>Update package sent; the instrument is updating</translation>
    </message>
    <message>
        <source>插件版本</source>
        <translation>Plug-in versions</translation>
    </message>
    <message>
        <source>设备未连接，无法查询插件版本</source>
        <translation>Not connected: the plug-in versions cannot be queried</translation>
    </message>
    <message>
        <source>设备尚未上报采集卡版本</source>
        <translation>The instrument has not reported its card versions yet</translation>
    </message>
    <message>
        <source>设备未连接，尚无采集卡版本信息</source>
        <translation>The instrument is not connected: no card versions yet</translation>
    </message>
</context>
<context>
    <name>Extend518</name>
    <message>
        <source>扩展协议</source>
        <translation>Extension</translation>
    </message>
    <message>
        <source>记录时间</source>
        <translation>Record time</translation>
    </message>
    <message>
        <source>绑定</source>
        <translation>Bind</translation>
    </message>
    <message>
        <source>本机端口</source>
        <translation>Local port</translation>
    </message>
    <message>
        <source>目的端口</source>
        <translation>Remote port</translation>
    </message>
    <message>
        <source>同步状态（通信测试）</source>
        <translation>Sync status (link test)</translation>
    </message>
    <message>
        <source>自检</source>
        <translation>Self-check</translation>
    </message>
    <message>
        <source>设备状态</source>
        <translation>Device status</translation>
    </message>
    <message>
        <source>自检结果</source>
        <translation>Self-check result</translation>
    </message>
    <message>
        <source>刷新容量</source>
        <translation>Read capacity</translation>
    </message>
    <message>
        <source>刷新记录</source>
        <translation>Read records</translation>
    </message>
    <message>
        <source>剩余容量</source>
        <translation>Free</translation>
    </message>
    <message>
        <source>总容量</source>
        <translation>Total</translation>
    </message>
    <message>
        <source>记录数</source>
        <translation>Records</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>回放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>转发</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>删除全部记录</source>
        <translation>Delete all records</translation>
    </message>
    <message>
        <source>功率衰减</source>
        <translation>Attenuation</translation>
    </message>
    <message>
        <source>记录采集</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>当前时间</source>
        <translation>Current time</translation>
    </message>
    <message>
        <source>启动采集</source>
        <translation>Start recording</translation>
    </message>
    <message>
        <source>停止采集</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>秒脉冲宽度(ms）</source>
        <translation>PPS width (ms)</translation>
    </message>
    <message>
        <source>秒脉冲个数</source>
        <translation>PPS count</translation>
    </message>
    <message>
        <source>秒脉冲等待时间(s)</source>
        <translation>PPS delay (s)</translation>
    </message>
    <message>
        <source>设置秒脉冲</source>
        <translation>Set PPS</translation>
    </message>
    <message>
        <source>发送秒脉冲</source>
        <translation>Send PPS</translation>
    </message>
    <message>
        <source>对时辅助数据</source>
        <translation>Time-sync aiding data</translation>
    </message>
    <message>
        <source>闰秒标志</source>
        <translation>Leap second flag</translation>
    </message>
    <message>
        <source>北斗周</source>
        <translation>BDS week</translation>
    </message>
    <message>
        <source>北斗周内秒</source>
        <translation>BDS seconds of week</translation>
    </message>
    <message>
        <source>UTC日期</source>
        <translation>UTC date</translation>
    </message>
    <message>
        <source>UTC时间</source>
        <translation>UTC time</translation>
    </message>
    <message>
        <source>UTC天秒(ms)</source>
        <translation>UTC second of day (ms)</translation>
    </message>
    <message>
        <source>第二个脉冲UTC日期</source>
        <translation>2nd pulse UTC date</translation>
    </message>
    <message>
        <source>第二个脉冲UTC时间</source>
        <translation>2nd pulse UTC time</translation>
    </message>
    <message>
        <source>第二个脉冲UTC天秒(ms)</source>
        <translation>2nd pulse UTC second of day (ms)</translation>
    </message>
    <message>
        <source>对时脉冲</source>
        <translation>Time-sync pulse</translation>
    </message>
    <message>
        <source>更新星历</source>
        <translation>Update ephemeris</translation>
    </message>
    <message>
        <source>存储原始数据</source>
        <translation>Save raw data</translation>
    </message>
    <message>
        <source>转换格式并导出</source>
        <translation>Convert and export</translation>
    </message>
    <message>
        <source>综合星历</source>
        <translation>Composite ephemeris</translation>
    </message>
    <message>
        <source>更新并合并星历</source>
        <translation>Update and merge</translation>
    </message>
    <message>
        <source>清空缓存</source>
        <translation>Clear cache</translation>
    </message>
    <message>
        <source>卫星号</source>
        <translation>PRN</translation>
    </message>
    <message>
        <source>B3I星历</source>
        <translation>B3I ephemeris</translation>
    </message>
    <message>
        <source>B3A星历</source>
        <translation>B3A ephemeris</translation>
    </message>
    <message>
        <source>星历数据</source>
        <translation>Ephemeris</translation>
    </message>
    <message>
        <source>获取闰秒标识</source>
        <translation>Get leap second</translation>
    </message>
    <message>
        <source>当前闰秒</source>
        <translation>Current leap second</translation>
    </message>
    <message>
        <source>下次闰秒</source>
        <translation>Next leap second</translation>
    </message>
    <message>
        <source>闰秒标识</source>
        <translation>Leap second</translation>
    </message>
    <message>
        <source>修改</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>IP地址：</source>
        <translation>IP address:</translation>
    </message>
    <message>
        <source>子网掩码：</source>
        <translation>Subnet mask:</translation>
    </message>
    <message>
        <source>网关：</source>
        <translation>Gateway:</translation>
    </message>
    <message>
        <source>IP设置</source>
        <translation>IP settings</translation>
    </message>
    <message>
        <source>取消绑定</source>
        <translation>Unbind</translation>
    </message>
    <message>
        <source>执行失败</source>
        <translation>Not done</translation>
    </message>
    <message>
        <source>当前不为空闲状态，请手动同步状态确认空闲后操作</source>
        <translation>The instrument is not idle. Synchronise the state and act once it is idle</translation>
    </message>
    <message>
        <source>无效</source>
        <translation>Invalid</translation>
    </message>
    <message>
        <source>未选择需要回放的记录</source>
        <translation>No record chosen for playback</translation>
    </message>
    <message>
        <source>回放失败</source>
        <translation>Playback failed</translation>
    </message>
    <message>
        <source>选择的记录有误，请刷新后重试</source>
        <translation>The chosen record is wrong; refresh and try again</translation>
    </message>
    <message>
        <source>删除确认</source>
        <translation>Confirm delete</translation>
    </message>
    <message>
        <source>未选择需要删除的记录</source>
        <translation>No record chosen for deletion</translation>
    </message>
    <message>
        <source>IP不合法</source>
        <translation>Invalid IP address</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>启动回放成功，记录名:%1</source>
        <translation>Playback started, record: %1</translation>
    </message>
    <message>
        <source>停止回放成功</source>
        <translation>Playback stopped</translation>
    </message>
    <message>
        <source>回放错误</source>
        <translation>Playback error</translation>
    </message>
    <message>
        <source>未知的回放响应结果</source>
        <translation>Unknown playback result</translation>
    </message>
    <message>
        <source>启动转发成功</source>
        <translation>Forwarding started</translation>
    </message>
    <message>
        <source>停止转发成功</source>
        <translation>Forwarding stopped</translation>
    </message>
    <message>
        <source>转发错误</source>
        <translation>Forwarding error</translation>
    </message>
    <message>
        <source>未知的转发响应结果</source>
        <translation>Unknown forwarding result</translation>
    </message>
    <message>
        <source>转发回放错误</source>
        <translation>Forwarding/playback error</translation>
    </message>
    <message>
        <source>未知的设备模式</source>
        <translation>Unknown instrument mode</translation>
    </message>
    <message>
        <source>启动采集成功，记录名:%1</source>
        <translation>Recording started, record: %1</translation>
    </message>
    <message>
        <source>停止采集成功</source>
        <translation>Recording stopped</translation>
    </message>
    <message>
        <source>采集错误</source>
        <translation>Recording error</translation>
    </message>
    <message>
        <source>未知的采集响应结果</source>
        <translation>Unknown recording result</translation>
    </message>
    <message>
        <source>无原始星历数据失败，导出失败</source>
        <translation>No raw ephemeris data: nothing exported</translation>
    </message>
    <message>
        <source>打开文件失败，导出失败</source>
        <translation>The file could not be opened: nothing exported</translation>
    </message>
    <message>
        <source>保存文件失败，导出失败</source>
        <translation>The file could not be saved: nothing exported</translation>
    </message>
    <message>
        <source>导出失败(综合星历)</source>
        <translation>Export failed (composite ephemeris)</translation>
    </message>
    <message>
        <source>选择转换后文件输出位置(综合星历)</source>
        <translation>Where to write the converted file (composite ephemeris)</translation>
    </message>
    <message>
        <source>导出失败(B3I)</source>
        <translation>Export failed (B3I)</translation>
    </message>
    <message>
        <source>选择转换后文件输出位置(B3I)</source>
        <translation>Where to write the converted file (B3I)</translation>
    </message>
    <message>
        <source>导出失败(B3A)</source>
        <translation>Export failed (B3A)</translation>
    </message>
    <message>
        <source>选择转换后文件输出位置(B3A)</source>
        <translation>Where to write the converted file (B3A)</translation>
    </message>
    <message>
        <source>是否确认删除选中的 %1 条记录？</source>
        <translation>Delete the %1 checked records?</translation>
    </message>
    <message>
        <source>是否确认删除记录 %1？</source>
        <translation>Delete record %1?</translation>
    </message>
    <message>
        <source>记录编号</source>
        <translation>Record number</translation>
    </message>
    <message>
        <source>记录编号不能等于 0</source>
        <translation>The record number must not be 0</translation>
    </message>
    <message>
        <source>记录编号重复</source>
        <translation>The record number is already in use</translation>
    </message>
</context>
<context>
    <name>ExtendReplyText</name>
    <message>
        <source>星历数据标识0xCC(BDs) = 0x%1
</source>
        <translation>Ephemeris data ID 0xCC (BDS) = 0x%1
</translation>
    </message>
    <message>
        <source>预装星历数目 = %1
</source>
        <translation>Preloaded ephemerides = %1
</translation>
    </message>
    <message>
        <source>UTC时间年 = %1
</source>
        <translation>UTC year = %1
</translation>
    </message>
    <message>
        <source>UTC时间月 = %1
</source>
        <translation>UTC month = %1
</translation>
    </message>
    <message>
        <source>UTC时间日 = %1
</source>
        <translation>UTC day = %1
</translation>
    </message>
    <message>
        <source>UTC时间时 = %1
</source>
        <translation>UTC hour = %1
</translation>
    </message>
    <message>
        <source>UTC时间分 = %1
</source>
        <translation>UTC minute = %1
</translation>
    </message>
    <message>
        <source>UTC时间秒 = %1
</source>
        <translation>UTC second = %1
</translation>
    </message>
    <message>
        <source>时间有效（1为有效，0为无效） = %1
</source>
        <translation>Time valid (1 valid, 0 not valid) = %1
</translation>
    </message>
    <message>
        <source>纬度 = %1 rad
</source>
        <translation>Latitude = %1 rad
</translation>
    </message>
    <message>
        <source>经度 = %1 rad
</source>
        <translation>Longitude = %1 rad
</translation>
    </message>
    <message>
        <source>高度 = %1
</source>
        <translation>Height = %1
</translation>
    </message>
    <message>
        <source>BD卫星数量 = %1
</source>
        <translation>BDS satellites = %1
</translation>
    </message>
    <message>
        <source>位置有效（1为有效，0为无效） = %1
</source>
        <translation>Position valid (1 valid, 0 not valid) = %1
</translation>
    </message>
    <message>
        <source>电离层参数a0 = %1
</source>
        <translation>Ionosphere parameter a0 = %1
</translation>
    </message>
    <message>
        <source>电离层参数a1 = %1
</source>
        <translation>Ionosphere parameter a1 = %1
</translation>
    </message>
    <message>
        <source>电离层参数a2 = %1
</source>
        <translation>Ionosphere parameter a2 = %1
</translation>
    </message>
    <message>
        <source>电离层参数a3 = %1
</source>
        <translation>Ionosphere parameter a3 = %1
</translation>
    </message>
    <message>
        <source>电离层参数b0 = %1
</source>
        <translation>Ionosphere parameter b0 = %1
</translation>
    </message>
    <message>
        <source>电离层参数b1 = %1
</source>
        <translation>Ionosphere parameter b1 = %1
</translation>
    </message>
    <message>
        <source>电离层参数b2 = %1
</source>
        <translation>Ionosphere parameter b2 = %1
</translation>
    </message>
    <message>
        <source>电离层参数b3 = %1
</source>
        <translation>Ionosphere parameter b3 = %1
</translation>
    </message>
    <message>
        <source>BD2电离层有效（1为有效，0为无效） = %1
</source>
        <translation>BD2 ionosphere valid (1 valid, 0 not valid) = %1
</translation>
    </message>
    <message>
        <source>电离层参数a4 = %1
</source>
        <translation>Ionosphere parameter a4 = %1
</translation>
    </message>
    <message>
        <source>电离层参数a5 = %1
</source>
        <translation>Ionosphere parameter a5 = %1
</translation>
    </message>
    <message>
        <source>电离层参数a6 = %1
</source>
        <translation>Ionosphere parameter a6 = %1
</translation>
    </message>
    <message>
        <source>电离层参数a7 = %1
</source>
        <translation>Ionosphere parameter a7 = %1
</translation>
    </message>
    <message>
        <source>电离层参数a8 = %1
</source>
        <translation>Ionosphere parameter a8 = %1
</translation>
    </message>
    <message>
        <source>电离层参数a9 = %1
</source>
        <translation>Ionosphere parameter a9 = %1
</translation>
    </message>
    <message>
        <source>预留字节 = %1
</source>
        <translation>Reserved = %1
</translation>
    </message>
    <message>
        <source>BD3电离层有效（1为有效，0为无效） = %1
</source>
        <translation>BD3 ionosphere valid (1 valid, 0 not valid) = %1
</translation>
    </message>
    <message>
        <source>UTC参数A0 = %1
</source>
        <translation>UTC parameter A0 = %1
</translation>
    </message>
    <message>
        <source>UTC参数A1 = %1
</source>
        <translation>UTC parameter A1 = %1
</translation>
    </message>
    <message>
        <source>UTC参数t_ot = %1
</source>
        <translation>UTC parameter t_ot = %1
</translation>
    </message>
    <message>
        <source>UTC参数WN = %1
</source>
        <translation>UTC parameter WN = %1
</translation>
    </message>
    <message>
        <source>UTC参数WN_lsf = %1
</source>
        <translation>UTC parameter WN_lsf = %1
</translation>
    </message>
    <message>
        <source>UTC参数DN = %1
</source>
        <translation>UTC parameter DN = %1
</translation>
    </message>
    <message>
        <source>UTC参数delta_tls = %1
</source>
        <translation>UTC parameter delta_tls = %1
</translation>
    </message>
    <message>
        <source>UTC参数delta_tlsf = %1
</source>
        <translation>UTC parameter delta_tlsf = %1
</translation>
    </message>
    <message>
        <source>UTC参数有效（1为有效，0为无效） = %1
</source>
        <translation>UTC parameters valid (1 valid, 0 not valid) = %1
</translation>
    </message>
    <message>
        <source>星历数据标识0xC4(BDs) = 0x%1
</source>
        <translation>Ephemeris data ID 0xC4 (BDS) = 0x%1
</translation>
    </message>
    <message>
        <source>预装星历序号(本次发送的是第几个星历) = %1
</source>
        <translation>Preloaded ephemeris number (which one this is) = %1
</translation>
    </message>
    <message>
        <source>卫星号 = %1
</source>
        <translation>PRN = %1
</translation>
    </message>
    <message>
        <source>周数 = %1
</source>
        <translation>Week = %1
</translation>
    </message>
    <message>
        <source>本颗卫星信噪比，单位dB = %1
</source>
        <translation>Signal-to-noise ratio of this satellite, dB = %1
</translation>
    </message>
    <message>
        <source>GPS星历第2子帧iode，BD星历无意义 = %1
</source>
        <translation>IODE of GPS subframe 2 (none for BDS) = %1
</translation>
    </message>
    <message>
        <source>GPS星历第3子帧iode，BD星历无意义 = %1
</source>
        <translation>IODE of GPS subframe 3 (none for BDS) = %1
</translation>
    </message>
    <message>
        <source>平均近点角 = %1
</source>
        <translation>Mean anomaly = %1
</translation>
    </message>
    <message>
        <source>对平均运动的校正值 = %1
</source>
        <translation>Mean motion correction = %1
</translation>
    </message>
    <message>
        <source>保留，暂无定义 = %1
</source>
        <translation>Reserved, not defined = %1
</translation>
    </message>
    <message>
        <source>e偏心率 = %1
</source>
        <translation>Eccentricity e = %1
</translation>
    </message>
    <message>
        <source>长半轴的平方根 = %1
</source>
        <translation>Square root of the semi-major axis = %1
</translation>
    </message>
    <message>
        <source>升交点经度 = %1
</source>
        <translation>Longitude of the ascending node = %1
</translation>
    </message>
    <message>
        <source>轨道倾角 = %1
</source>
        <translation>Inclination = %1
</translation>
    </message>
    <message>
        <source>近地点幅角 = %1
</source>
        <translation>Argument of perigee = %1
</translation>
    </message>
    <message>
        <source>升交点经度的变化率 = %1
</source>
        <translation>Rate of the longitude of the ascending node = %1
</translation>
    </message>
    <message>
        <source>轨道倾角的变化率 = %1
</source>
        <translation>Rate of inclination = %1
</translation>
    </message>
    <message>
        <source>纬度幅角的余弦调和改正项的振幅 = %1
</source>
        <translation>Cosine harmonic correction to the argument of latitude (Cuc) = %1
</translation>
    </message>
    <message>
        <source>纬度幅角的正弦调和改正项的振幅 = %1
</source>
        <translation>Sine harmonic correction to the argument of latitude (Cus) = %1
</translation>
    </message>
    <message>
        <source>轨道半径的余弦调和改正项的振幅 = %1
</source>
        <translation>Cosine harmonic correction to the orbit radius (Crc) = %1
</translation>
    </message>
    <message>
        <source>轨道半径的正弦调和改正项的振幅 = %1
</source>
        <translation>Sine harmonic correction to the orbit radius (Crs) = %1
</translation>
    </message>
    <message>
        <source>轨道倾角的余弦调和改正项的振幅 = %1
</source>
        <translation>Cosine harmonic correction to the inclination (Cic) = %1
</translation>
    </message>
    <message>
        <source>轨道倾角的正弦调和改正项的振幅 = %1
</source>
        <translation>Sine harmonic correction to the inclination (Cis) = %1
</translation>
    </message>
    <message>
        <source>Tgd, GPS组延迟参数, BD无意义 = %1
</source>
        <translation>Tgd, GPS group delay (none for BDS) = %1
</translation>
    </message>
    <message>
        <source>钟差 = %1
</source>
        <translation>Clock bias = %1
</translation>
    </message>
    <message>
        <source>钟速 = %1
</source>
        <translation>Clock drift = %1
</translation>
    </message>
    <message>
        <source>钟漂 = %1
</source>
        <translation>Clock drift rate = %1
</translation>
    </message>
    <message>
        <source>时钟数据龄期 = %1
</source>
        <translation>Age of clock data = %1
</translation>
    </message>
    <message>
        <source>卫星健康信息 = %1
</source>
        <translation>Satellite health = %1
</translation>
    </message>
    <message>
        <source>星钟参考时间 = %1
</source>
        <translation>Clock reference time = %1
</translation>
    </message>
    <message>
        <source>星历参考时间 = %1
</source>
        <translation>Ephemeris reference time = %1
</translation>
    </message>
    <message>
        <source>BD星历数据有效龄期，GPS无意义 = %1
</source>
        <translation>Age of BDS ephemeris data (none for GPS) = %1
</translation>
    </message>
    <message>
        <source>BD组延迟参数，GPS无意义 = %1
</source>
        <translation>BDS group delay (none for GPS) = %1
</translation>
    </message>
    <message>
        <source>0为无效；1为有效 = %1
</source>
        <translation>0 not valid; 1 valid = %1
</translation>
    </message>
    <message>
        <source>1-GEO 2-MEO 4-IGSO = %1
</source>
        <translation>1-GEO 2-MEO 4-IGSO = %1
</translation>
    </message>
    <message>
        <source>参考时刻长半轴相对于参考值的偏差 = %1
</source>
        <translation>Semi-major axis difference from the reference at the reference time = %1
</translation>
    </message>
    <message>
        <source>长半轴变化率 = %1
</source>
        <translation>Rate of the semi-major axis = %1
</translation>
    </message>
    <message>
        <source>参考时刻卫星平均角速度与计算值之差 = %1
</source>
        <translation>Mean motion difference from the computed value at the reference time = %1
</translation>
    </message>
    <message>
        <source>参考时刻卫星平均角速度与计算值之差的变化率 = %1
</source>
        <translation>Rate of the mean motion difference at the reference time = %1
</translation>
    </message>
    <message>
        <source>BD星历数据有效龄期 = %1
</source>
        <translation>Age of BDS ephemeris data = %1
</translation>
    </message>
    <message>
        <source>B1Xp-B3Xp频间修正项 = %1
</source>
        <translation>B1Xp-B3Xp inter-frequency correction = %1
</translation>
    </message>
    <message>
        <source>预留项 = %1
</source>
        <translation>Reserved = %1
</translation>
    </message>
    <message>
        <source>B3XX-B3Xp频内修正项 = %1
</source>
        <translation>B3XX-B3Xp intra-frequency correction = %1
</translation>
    </message>
    <message>
        <source>B3XXp-B3Xp频内修正项 = %1
</source>
        <translation>B3XXp-B3Xp intra-frequency correction = %1
</translation>
    </message>
    <message>
        <source>星历有效(0为无效；1为有效) = %1
</source>
        <translation>Ephemeris valid (0 not valid; 1 valid) = %1
</translation>
    </message>
    <message>
        <source>设备正常</source>
        <translation>Device OK</translation>
    </message>
    <message>
        <source>射频异常;</source>
        <translation>RF fault;</translation>
    </message>
    <message>
        <source>硬盘异常;</source>
        <translation>Disk fault;</translation>
    </message>
    <message>
        <source>校准异常;</source>
        <translation>Calibration fault;</translation>
    </message>
    <message>
        <source>锁相环异常;</source>
        <translation>PLL fault;</translation>
    </message>
    <message>
        <source>未发生闰秒</source>
        <translation>No leap second</translation>
    </message>
    <message>
        <source>正闰秒</source>
        <translation>Positive leap second</translation>
    </message>
    <message>
        <source>负闰秒</source>
        <translation>Negative leap second</translation>
    </message>
</context>
<context>
    <name>ExtendRequests</name>
    <message>
        <source>空闲中</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>采集中</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>回放中</source>
        <translation>Playing back</translation>
    </message>
    <message>
        <source>转发中</source>
        <translation>Forwarding</translation>
    </message>
    <message>
        <source>命令未发送</source>
        <translation>Not sent</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>格式化成功</source>
        <translation>Formatted</translation>
    </message>
    <message>
        <source>设置成功</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>对时脉冲设置成功
宽度:%1 个数:%2</source>
        <translation>Timing pulse set
width: %1 count: %2</translation>
    </message>
    <message>
        <source>通信成功</source>
        <translation>The instrument answered</translation>
    </message>
    <message>
        <source>删除成功</source>
        <translation>Deleted</translation>
    </message>
    <message>
        <source>删除成功，记录数:%1</source>
        <translation>Deleted, records: %1</translation>
    </message>
    <message>
        <source>格式化</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>采集</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>转发/回放</source>
        <translation>Forwarding/playback</translation>
    </message>
    <message>
        <source>修改IP</source>
        <translation>Change IP</translation>
    </message>
    <message>
        <source>对时脉冲设置</source>
        <translation>Timing pulse setting</translation>
    </message>
    <message>
        <source>设备未及时应答，已查询设备状态：%1</source>
        <translation>The instrument did not answer in time; its state was asked: %1</translation>
    </message>
    <message>
        <source>核对记录失败</source>
        <translation>Record check failed</translation>
    </message>
    <message>
        <source>命令超时</source>
        <translation>Command timed out</translation>
    </message>
    <message>
        <source>%1：设备未应答，结果未知</source>
        <translation>%1: the instrument did not answer; the outcome is unknown</translation>
    </message>
    <message>
        <source>连接已断开</source>
        <translation>Link dropped</translation>
    </message>
    <message>
        <source>%1：连接已断开，结果未知</source>
        <translation>%1: the link dropped; the outcome is unknown</translation>
    </message>
    <message>
        <source>删除记录超时</source>
        <translation>Delete record: no answer in time</translation>
    </message>
    <message>
        <source>记录 %1 未得到设备应答，正在重新获取记录列表核对</source>
        <translation>Record %1 got no answer; the record list is being fetched to check it</translation>
    </message>
    <message>
        <source>其余 %1 条记录在核对后删除</source>
        <translation>The other %1 record(s) are deleted once it is checked</translation>
    </message>
    <message>
        <source>通信超时，获取状态失败</source>
        <translation>No answer in time: the state could not be read</translation>
    </message>
    <message>
        <source>转发/回放超时</source>
        <translation>Forwarding/playback: no answer in time</translation>
    </message>
    <message>
        <source>采集超时</source>
        <translation>Recording: no answer in time</translation>
    </message>
    <message>
        <source>获取硬盘容量超时</source>
        <translation>Disk capacity: no answer in time</translation>
    </message>
    <message>
        <source>获取记录超时</source>
        <translation>Record list: no answer in time</translation>
    </message>
    <message>
        <source>自检超时</source>
        <translation>Self-check: no answer in time</translation>
    </message>
    <message>
        <source>对时脉冲超时</source>
        <translation>Timing pulse: no answer in time</translation>
    </message>
    <message>
        <source>获取星历数据超时</source>
        <translation>Ephemeris data: no answer in time</translation>
    </message>
    <message>
        <source>命令执行失败</source>
        <translation>Command failed</translation>
    </message>
    <message>
        <source>命令执行错误</source>
        <translation>The instrument could not carry out the command</translation>
    </message>
    <message>
        <source>删除记录</source>
        <translation>Delete Record</translation>
    </message>
    <message>
        <source>删除记录 %1：设备在超时后确认已删除</source>
        <translation>Delete record %1: the instrument confirmed it after the time-out</translation>
    </message>
    <message>
        <source>删除记录 %1：设备在超时后报告未删除</source>
        <translation>Delete record %1: the instrument reported after the time-out that it was not deleted</translation>
    </message>
    <message>
        <source>删除未完成</source>
        <translation>Delete incomplete</translation>
    </message>
    <message>
        <source>以下记录仍在设备上：
%1</source>
        <translation>These records are still on the instrument:
%1</translation>
    </message>
    <message>
        <source>其余 %1 条记录未删除</source>
        <translation>%1 more record(s) not deleted</translation>
    </message>
    <message>
        <source>删除记录 %1</source>
        <translation>Delete record %1</translation>
    </message>
    <message>
        <source>记录 %1 未删除</source>
        <translation>Record %1 was not deleted</translation>
    </message>
    <message>
        <source>删除失败</source>
        <translation>Delete failed</translation>
    </message>
    <message>
        <source>选择的记录有误，请刷新后重试</source>
        <translation>The chosen record is wrong; refresh and try again</translation>
    </message>
    <message>
        <source>修改IP成功，设备重启后生效。
本软件不能重启设备：请给设备断电后重新上电。</source>
        <translation>IP address changed; it takes effect once the instrument restarts.
This software cannot restart the instrument: switch the instrument off and on again.</translation>
    </message>
</context>
<context>
    <name>FileLogger</name>
    <message>
        <source>[严重错误]创建日志目录失败</source>
        <translation>[Critical] Cannot create the log folder</translation>
    </message>
    <message>
        <source>[已删除文件旧日志]%1</source>
        <translation>[Old log deleted] %1</translation>
    </message>
    <message>
        <source>当前运行日志保存文件 %1</source>
        <translation>This run logs to %1</translation>
    </message>
    <message>
        <source>[严重错误]创建/打开日志文件失败</source>
        <translation>[Critical] Cannot create or open the log file</translation>
    </message>
    <message>
        <source>[写入日志失败]%1</source>
        <translation>[Log write failed] %1</translation>
    </message>
    <message>
        <source>Core 插件加载成功</source>
        <translation>Core plug-in loaded</translation>
    </message>
    <message>
        <source>当前日志文件大小已达上限(4MB),日志切换为 %1</source>
        <translation>The log file reached its limit (4 MB); logging continues in %1</translation>
    </message>
    <message>
        <source>当前日志文件大小已达上限(4MB),但切换日志失败，无法创建打开%1</source>
        <translation>The log file reached its limit (4 MB), but the next one could not be created or opened: %1</translation>
    </message>
    <message>
        <source>记录%1的采集卡数量%2无效</source>
        <translation>Record %1 has an invalid number of collection cards: %2</translation>
    </message>
    <message>
        <source>更新记录信息文件失败</source>
        <translation>Could not update the record information file</translation>
    </message>
    <message>
        <source>更新记录信息文件成功</source>
        <translation>Record information file updated</translation>
    </message>
    <message>
        <source>接收机透传线程关闭</source>
        <translation>Receiver relay thread closed</translation>
    </message>
    <message>
        <source>发送接收机连接指令,接收机透传监听端口:%1</source>
        <translation>Sent the receiver connect command; receiver relay listening on port %1</translation>
    </message>
    <message>
        <source>重发接收机连接指令,接收机透传监听端口:%1</source>
        <translation>Sent the receiver connect command again; receiver relay listening on port %1</translation>
    </message>
    <message>
        <source>发送接收机断开指令</source>
        <translation>Sent the receiver disconnect command</translation>
    </message>
    <message>
        <source>新接收机客户端连接,异常的客户端指针</source>
        <translation>New receiver client connection with an invalid socket</translation>
    </message>
    <message>
        <source>新接收机客户端已连接，将断开先前接收机客户端，IP：%1 端口：%2</source>
        <translation>New receiver client connected; closing the previous one. IP: %1 port: %2</translation>
    </message>
    <message>
        <source>接收机数据客户端已连接，IP：%1 端口：%2</source>
        <translation>Receiver data client connected. IP: %1 port: %2</translation>
    </message>
    <message>
        <source>接收机数据客户端已断开，客户端IP：%1，端口：%2</source>
        <translation>Receiver data client disconnected. Client IP: %1, port: %2</translation>
    </message>
    <message>
        <source>等待上次记录查询中</source>
        <translation>Waiting for the previous record query</translation>
    </message>
    <message>
        <source>已发送记录查询指令</source>
        <translation>Record query sent</translation>
    </message>
    <message>
        <source>获取到记录列表，记录总数:%1</source>
        <translation>Record list received, records in total: %1</translation>
    </message>
    <message>
        <source>查询记录结束，无记录</source>
        <translation>Record query finished: no records</translation>
    </message>
    <message>
        <source>查询记录结束，无更新记录</source>
        <translation>Record query finished: no changed records</translation>
    </message>
    <message>
        <source>查询记录结束，更新完毕</source>
        <translation>Record query finished: list updated</translation>
    </message>
    <message>
        <source>获取记录超时，正在重试</source>
        <translation>Record query timed out, retrying</translation>
    </message>
    <message>
        <source>获取记录超时，正在重试(带宽)</source>
        <translation>Record query timed out, retrying (bandwidth)</translation>
    </message>
    <message>
        <source>获取记录信息失败（超时）</source>
        <translation>Could not get the record information (timed out)</translation>
    </message>
    <message>
        <source>连接断开，记录查询中止</source>
        <translation>Link lost: record query aborted</translation>
    </message>
    <message>
        <source>升级包读取失败：%1</source>
        <translation>Could not read the update package: %1</translation>
    </message>
    <message>
        <source>升级包无法打开：%1</source>
        <translation>Cannot open the update package: %1</translation>
    </message>
    <message>
        <source>FTP 目录 %1 未删除：%2</source>
        <translation>FTP folder %1 not deleted: %2</translation>
    </message>
    <message>
        <source>FTP 目录 %1 删除中途失败：%2（%3）</source>
        <translation>Deleting FTP folder %1 failed part way: %2 (%3)</translation>
    </message>
    <message>
        <source>无法进入</source>
        <translation>cannot enter it</translation>
    </message>
    <message>
        <source>服务器未给出当前目录</source>
        <translation>the server did not give the current folder</translation>
    </message>
    <message>
        <source>无法列出 %1</source>
        <translation>cannot list %1</translation>
    </message>
    <message>
        <source>%1 中的名称 &quot;%2&quot; 无法发送</source>
        <translation>the name &quot;%2&quot; in %1 cannot be sent</translation>
    </message>
    <message>
        <source>%1 中的链接 &quot;%2&quot; 名称不明确</source>
        <translation>the link &quot;%2&quot; in %1 has an ambiguous name</translation>
    </message>
    <message>
        <source>%1 中有两个条目同名 &quot;%2&quot;</source>
        <translation>%1 holds two entries named &quot;%2&quot;</translation>
    </message>
    <message>
        <source>%1 的列表不完整（没有 . 和 ..），无法读取</source>
        <translation>the listing of %1 is incomplete (no . and ..) and cannot be read</translation>
    </message>
    <message>
        <source>主界面启动成功</source>
        <translation>Main window started</translation>
    </message>
    <message>
        <source>心跳回包注册状态失败</source>
        <translation>Heartbeat reply: registration refused</translation>
    </message>
    <message>
        <source>重连设备成功</source>
        <translation>Reconnected to the instrument</translation>
    </message>
    <message>
        <source>获取设备信息</source>
        <translation>Getting the device information</translation>
    </message>
    <message>
        <source>同步设备状态</source>
        <translation>Synchronising the device state</translation>
    </message>
    <message>
        <source>导入记录失败：未找到本地记录目录</source>
        <translation>Import failed: local record folder not found</translation>
    </message>
    <message>
        <source>导入记录失败：无法创建目录 %1</source>
        <translation>Import failed: cannot create folder %1</translation>
    </message>
    <message>
        <source>导入记录失败：无法写入记录信息文件</source>
        <translation>Import failed: cannot write the record information file</translation>
    </message>
    <message>
        <source>导入记录失败：记录大小为 0</source>
        <translation>Import failed: the record size is 0</translation>
    </message>
    <message>
        <source>导入记录失败：无法创建记录目录 %1</source>
        <translation>Import failed: cannot create record folder %1</translation>
    </message>
    <message>
        <source>原始文件超出记录大小，未删除：%1</source>
        <translation>Source file larger than the record, not deleted: %1</translation>
    </message>
    <message>
        <source>删除原始文件失败：%1</source>
        <translation>Could not delete the source file: %1</translation>
    </message>
    <message>
        <source>导入记录失败：无法打开文件 %1</source>
        <translation>Import failed: cannot open file %1</translation>
    </message>
    <message>
        <source>导入记录失败：读写文件出错 %1</source>
        <translation>Import failed: read/write error on %1</translation>
    </message>
    <message>
        <source>导入记录失败：写入文件出错 %1</source>
        <translation>Import failed: write error on %1</translation>
    </message>
    <message>
        <source>记录列表早于已确认的删除，重新获取</source>
        <translation>The record list predates a confirmed delete; fetching it again</translation>
    </message>
    <message>
        <source>设备配置应答为空，已丢弃</source>
        <translation>Empty device-configuration reply, dropped</translation>
    </message>
    <message>
        <source>设备配置设置应答长度错误[长度:%1]，已丢弃</source>
        <translation>Device-configuration set reply of wrong length [length:%1], dropped</translation>
    </message>
    <message>
        <source>设备信息长度错误[长度:%1]，已丢弃</source>
        <translation>Device information of wrong length [length:%1], dropped</translation>
    </message>
    <message>
        <source>设备信息长度错误[板卡数:%1][长度:%2][需要:%3]，已丢弃</source>
        <translation>Device information of wrong length [boards:%1][length:%2][needed:%3], dropped</translation>
    </message>
    <message>
        <source>设备状态长度错误[长度:%1]，已丢弃</source>
        <translation>Device state of wrong length [length:%1], dropped</translation>
    </message>
    <message>
        <source>设备状态长度错误[状态:%1][长度:%2][需要:%3]，已丢弃</source>
        <translation>Device state of wrong length [state:%1][length:%2][needed:%3], dropped</translation>
    </message>
    <message>
        <source>自定义频点长度错误[长度:%1]，已丢弃</source>
        <translation>Custom frequencies of wrong length [length:%1], dropped</translation>
    </message>
    <message>
        <source>自定义频点长度错误[数量:%1][长度:%2]，已丢弃</source>
        <translation>Custom frequencies of wrong length [count:%1][length:%2], dropped</translation>
    </message>
    <message>
        <source>文本列表长度错误[长度:%1]，已丢弃</source>
        <translation>Text list of wrong length [length:%1], dropped</translation>
    </message>
    <message>
        <source>文本列表数量错误[数量:%1][长度:%2]，已丢弃</source>
        <translation>Text list with a wrong count [count:%1][length:%2], dropped</translation>
    </message>
    <message>
        <source>文本列表截断[第%1项]，已丢弃</source>
        <translation>Text list cut short [item %1], dropped</translation>
    </message>
    <message>
        <source>文本列表长度错误[第%1项][字节:%2]，已丢弃</source>
        <translation>Text list of wrong length [item %1][bytes:%2], dropped</translation>
    </message>
    <message>
        <source>指令发送成功</source>
        <translation>Command sent</translation>
    </message>
    <message>
        <source>指令发送失败，设备未连接</source>
        <translation>Command not sent: instrument not connected</translation>
    </message>
    <message>
        <source>设备在超时后应答[类型:%1][指令:%2][结果:%3]</source>
        <translation>The instrument answered after the wait ran out [type:%1][command:%2][result:%3]</translation>
    </message>
    <message>
        <source>设备未在时限内应答[类型:%1][指令:%2]</source>
        <translation>The instrument did not answer in time [type:%1][command:%2]</translation>
    </message>
    <message>
        <source>收到未请求的设备应答，已丢弃[类型:%1][指令:%2]</source>
        <translation>Unrequested reply from the instrument, dropped [type:%1][command:%2]</translation>
    </message>
    <message>
        <source>接收数据长度超出上限，已清空接收缓存</source>
        <translation>Received data over the limit; receive buffer cleared</translation>
    </message>
    <message>
        <source>开始连接网络 %1:%2</source>
        <translation>Connecting to %1:%2</translation>
    </message>
    <message>
        <source>设备未连接，获取本地IP失败</source>
        <translation>Instrument not connected: no local IP address</translation>
    </message>
    <message>
        <source>设备网络连接成功</source>
        <translation>Connected to the instrument</translation>
    </message>
    <message>
        <source>设备网络连接断开，等待重连</source>
        <translation>Link to the instrument lost, waiting to reconnect</translation>
    </message>
    <message>
        <source>连接断开，请求未得到设备确认[类型:%1][指令:%2]</source>
        <translation>Link lost: request not confirmed by the instrument [type:%1][command:%2]</translation>
    </message>
    <message>
        <source>心跳超时,超时计数 %1</source>
        <translation>Heartbeat timed out, missed count %1</translation>
    </message>
    <message>
        <source>心跳超时断开,超时计数 %1</source>
        <translation>Heartbeat timed out, link dropped, missed count %1</translation>
    </message>
    <message>
        <source>发送修改IP指令[%1][%2][%3]</source>
        <translation>Sent the change-address command [%1][%2][%3]</translation>
    </message>
    <message>
        <source>自动设置时间结果%1</source>
        <translation>Automatic time setting result %1</translation>
    </message>
    <message>
        <source>修改设备IP成功，重启设备后生效</source>
        <translation>Device IP changed; restart the instrument to apply it</translation>
    </message>
    <message>
        <source>修改设备IP失败</source>
        <translation>Changing the instrument address failed</translation>
    </message>
    <message>
        <source>状态复位成功！</source>
        <translation>State reset done!</translation>
    </message>
    <message>
        <source>状态复位失败！</source>
        <translation>State reset failed!</translation>
    </message>
    <message>
        <source>自检结果[板卡:%1][错误码:%2]</source>
        <translation>Self-check result [board:%1][error code:%2]</translation>
    </message>
    <message>
        <source>收到时间请求,已发送时间信息</source>
        <translation>Time request received; time sent</translation>
    </message>
    <message>
        <source>收到时间请求回包，结果%1</source>
        <translation>Time request reply received, result: %1</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>终端应答错误:%1</source>
        <translation>The instrument reported an error: %1</translation>
    </message>
    <message>
        <source>获取设备系统信息成功</source>
        <translation>Device information received</translation>
    </message>
    <message>
        <source>获取硬盘容量信息成功[数量:%1]%2</source>
        <translation>Disk capacity received [count:%1]%2</translation>
    </message>
    <message>
        <source>同步设备状态成功:%1</source>
        <translation>Device state synchronised: %1</translation>
    </message>
    <message>
        <source>查询服务端插件版本信息[插件数量:%1]</source>
        <translation>Server plug-in versions [plug-ins:%1]</translation>
    </message>
    <message>
        <source>插件版本信息[%1]</source>
        <translation>Plug-in version [%1]</translation>
    </message>
    <message>
        <source>发送删除记录指令:%1</source>
        <translation>Sent the delete command for record %1</translation>
    </message>
    <message>
        <source>发送修改记录备注指令:%1 修改内容:%2</source>
        <translation>Sent the remark change for record %1, new remark: %2</translation>
    </message>
    <message>
        <source>收到未请求的记录变更应答，重新获取记录列表[类型:%1][指令:%2]</source>
        <translation>Unrequested record-change reply; fetching the record list again [type:%1][command:%2]</translation>
    </message>
    <message>
        <source>%1指令发送</source>
        <translation>%1 command sent</translation>
    </message>
    <message>
        <source>%1失败：网络发送失败</source>
        <translation>%1 failed: could not send over the network</translation>
    </message>
    <message>
        <source>启动采集</source>
        <translation>Start recording</translation>
    </message>
    <message>
        <source>停止采集</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>启动回放</source>
        <translation>Start playback</translation>
    </message>
    <message>
        <source>停止回放</source>
        <translation>Stop playback</translation>
    </message>
    <message>
        <source>硬盘空间不足</source>
        <translation>disk full</translation>
    </message>
    <message>
        <source>循环存储失败</source>
        <translation>loop storage failed</translation>
    </message>
    <message>
        <source>无射频数据，启动失败</source>
        <translation>no RF data, start failed</translation>
    </message>
    <message>
        <source>其他错误</source>
        <translation>other error</translation>
    </message>
    <message>
        <source>主动停止错误(%1) %2</source>
        <translation>The instrument stopped on its own (%1) %2</translation>
    </message>
    <message>
        <source>停止回放成功</source>
        <translation>Playback stopped</translation>
    </message>
    <message>
        <source>转发</source>
        <translation>forwarding</translation>
    </message>
    <message>
        <source>采集</source>
        <translation>recording</translation>
    </message>
    <message>
        <source>启动%1成功</source>
        <translation>Started %1</translation>
    </message>
    <message>
        <source>启动%1失败</source>
        <translation>Could not start %1</translation>
    </message>
    <message>
        <source>停止采集/转发成功</source>
        <translation>Recording/forwarding stopped</translation>
    </message>
    <message>
        <source>停止采集/转发失败</source>
        <translation>Stopping recording/forwarding failed</translation>
    </message>
    <message>
        <source>启动回放成功</source>
        <translation>Playback started</translation>
    </message>
    <message>
        <source>启动回放失败</source>
        <translation>Starting playback failed</translation>
    </message>
    <message>
        <source>停止回放失败</source>
        <translation>Stopping playback failed</translation>
    </message>
    <message>
        <source>记录上传[Card:%1 Port:%2][%3 (%4) , %5 * %6]</source>
        <translation>Record upload [Card:%1 Port:%2][%3 (%4) , %5 * %6]</translation>
    </message>
    <message>
        <source>记录下载[Card:%1 Port:%2][%3 (%4) , %5]</source>
        <translation>Record download [Card:%1 Port:%2][%3 (%4) , %5]</translation>
    </message>
    <message>
        <source>停止上传失败</source>
        <translation>Stopping the upload failed</translation>
    </message>
    <message>
        <source>停止下载失败</source>
        <translation>Stopping the download failed</translation>
    </message>
    <message>
        <source>正在上传/下载回包错误</source>
        <translation>Wrong reply while uploading/downloading</translation>
    </message>
    <message>
        <source>获取设备配置项信息</source>
        <translation>Reading the device configuration</translation>
    </message>
    <message>
        <source>获取设备配置项信息错误:%1</source>
        <translation>Reading the device configuration failed: %1</translation>
    </message>
    <message>
        <source>设备配置项数量错误[频点:%1][位宽:%2]</source>
        <translation>Wrong device-configuration counts [bands:%1][bit widths:%2]</translation>
    </message>
    <message>
        <source>获取设备配置项信息成功</source>
        <translation>Device configuration read</translation>
    </message>
    <message>
        <source>无法监听（%1）</source>
        <translation>cannot listen (%1)</translation>
    </message>
    <message>
        <source>无法打开数据文件</source>
        <translation>cannot open the data file</translation>
    </message>
    <message>
        <source>传输通道 %1 记录的进度（数据块 %2，%3 字节）超出数据文件的整块（%4 字节），从数据块 %5 续传</source>
        <translation>Transfer channel %1: the recorded progress (block %2, %3 bytes) is past the whole blocks of the data file (%4 bytes); resuming from block %5</translation>
    </message>
    <message>
        <source>传输通道%1启动成功,等待采集卡连接......</source>
        <translation>Transfer channel %1 started, waiting for the card to connect...</translation>
    </message>
    <message>
        <source>连接错误，传输通道 %1 连接多个采集卡，已阻止新采集卡连接</source>
        <translation>Connection error: more than one card on transfer channel %1; the new card is refused</translation>
    </message>
    <message>
        <source>传输通道 %1 连接正常</source>
        <translation>Transfer channel %1 connected</translation>
    </message>
    <message>
        <source>写入数据文件失败</source>
        <translation>writing the data file failed</translation>
    </message>
    <message>
        <source>收到未请求的数据 %1 字节</source>
        <translation>received %1 bytes nobody asked for</translation>
    </message>
    <message>
        <source>数据块 %1 未按时收全，已断开该采集卡</source>
        <translation>block %1 not complete in time; the card was disconnected</translation>
    </message>
    <message>
        <source>采集卡请求数据块 %1，但数据块 %2 未曾发送，下载失败</source>
        <translation>the card asked for block %1, but block %2 was never sent; download failed</translation>
    </message>
    <message>
        <source>%1，该采集卡下次从头下载</source>
        <translation>%1; this card downloads from the start next time</translation>
    </message>
    <message>
        <source>传输初始化失败</source>
        <translation>Transfer set-up failed</translation>
    </message>
    <message>
        <source>采集卡未连接</source>
        <translation>card not connected</translation>
    </message>
    <message>
        <source>断开(超时)</source>
        <translation>disconnected (timed out)</translation>
    </message>
    <message>
        <source>采集卡断开，数据块 %1 未确认送达</source>
        <translation>card disconnected; block %1 not confirmed delivered</translation>
    </message>
    <message>
        <source>采集卡断开</source>
        <translation>card disconnected</translation>
    </message>
    <message>
        <source>传输被停止</source>
        <translation>transfer stopped</translation>
    </message>
    <message>
        <source>采集卡未连接即被停止</source>
        <translation>stopped before the card connected</translation>
    </message>
    <message>
        <source>传输通道 %1 %2</source>
        <translation>Transfer channel %1: %2</translation>
    </message>
    <message>
        <source>%1，续传从数据块 %2 开始</source>
        <translation>%1; resuming from block %2</translation>
    </message>
    <message>
        <source>数据块已全部传完（%1 块），共 %2 字节，但记录中该采集卡有 %3 字节</source>
        <translation>all blocks moved (%1 blocks), %2 bytes, but the record holds %3 bytes for this card</translation>
    </message>
    <message>
        <source>未传完</source>
        <translation>not complete</translation>
    </message>
    <message>
        <source>正在传输记录，拒绝新的%1请求</source>
        <translation>A record is being transferred: new %1 request refused</translation>
    </message>
    <message>
        <source>上传</source>
        <translation>upload</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>download</translation>
    </message>
    <message>
        <source>记录%1的采集卡数量%2无效，无法传输</source>
        <translation>Record %1 has an invalid number of collection cards (%2): cannot transfer</translation>
    </message>
    <message>
        <source>控制端进入上传状态</source>
        <translation>Control side entered the upload state</translation>
    </message>
    <message>
        <source>启动下载成功,开始下载</source>
        <translation>Download started</translation>
    </message>
    <message>
        <source>设备未回应上传下载心跳，超时重试：%1</source>
        <translation>The instrument did not answer the transfer heartbeat, retry %1</translation>
    </message>
    <message>
        <source>设备未回应上传下载心跳，中断上传下载</source>
        <translation>The instrument did not answer the transfer heartbeat: transfer aborted</translation>
    </message>
    <message>
        <source>退出记录上传</source>
        <translation>Record upload ended</translation>
    </message>
    <message>
        <source>退出记录下载</source>
        <translation>Record download ended</translation>
    </message>
    <message>
        <source>发送开始采集指令，等待设备响应</source>
        <translation>Start command sent, waiting for the instrument</translation>
    </message>
    <message>
        <source>已发送停止采集/转发指令，等待设备响应</source>
        <translation>Stop command sent, waiting for the instrument</translation>
    </message>
    <message>
        <source>启动采集/转发：设备在超时后报告失败</source>
        <translation>Start recording/forwarding: the instrument reported failure after the wait ran out</translation>
    </message>
    <message>
        <source>停止采集/转发：设备在超时后报告失败</source>
        <translation>Stop recording/forwarding: the instrument reported failure after the wait ran out</translation>
    </message>
    <message>
        <source>发送回放信号,等待设备响应</source>
        <translation>Playback command sent, waiting for the instrument</translation>
    </message>
    <message>
        <source>设备已在回放状态中</source>
        <translation>The instrument is already playing back</translation>
    </message>
    <message>
        <source>发送停止信号,等待设备响应</source>
        <translation>Stop command sent, waiting for the instrument</translation>
    </message>
    <message>
        <source>启动回放：设备在超时后报告失败</source>
        <translation>Start playback: the instrument reported failure after the wait ran out</translation>
    </message>
    <message>
        <source>停止回放：设备在超时后报告失败</source>
        <translation>Stop playback: the instrument reported failure after the wait ran out</translation>
    </message>
    <message>
        <source>清空记录失败</source>
        <translation>Clearing the records failed</translation>
    </message>
    <message>
        <source>数据清空成功</source>
        <translation>All records cleared</translation>
    </message>
    <message>
        <source>正在启动上传</source>
        <translation>Starting upload</translation>
    </message>
    <message>
        <source>正在启动下载</source>
        <translation>Starting download</translation>
    </message>
    <message>
        <source>手动断开连接</source>
        <translation>Disconnected by hand</translation>
    </message>
    <message>
        <source>连接设备 %1 失败，每 %2 秒自动重试</source>
        <translation>Could not connect to %1; retrying every %2 s</translation>
    </message>
    <message>
        <source>修改设备IP结果无对应请求，已忽略</source>
        <translation>Address-change result without a request, ignored</translation>
    </message>
    <message>
        <source>修改文件保存路径成功，Path:%1</source>
        <translation>Data path changed, Path: %1</translation>
    </message>
    <message>
        <source>文件保存路径修改为默认路径，Path:%1</source>
        <translation>Data path set to the default, Path: %1</translation>
    </message>
    <message>
        <source>修改设备IP失败（超时后应答）：%1</source>
        <translation>Changing the instrument address failed (answer after the wait ran out): %1</translation>
    </message>
    <message>
        <source>自定义频段保存修改成功 %1</source>
        <translation>Custom bands saved %1</translation>
    </message>
    <message>
        <source>自定义频段保存修改失败 %1</source>
        <translation>Saving the custom bands failed %1</translation>
    </message>
    <message>
        <source>%1；%2</source>
        <translation>%1; %2</translation>
    </message>
    <message>
        <source>传输通道 %1 收到未请求的整块数据 %2 字节，未写入数据文件</source>
        <translation>Transfer channel %1 received %2 bytes of whole blocks nobody asked for; not written to the data file</translation>
    </message>
    <message>
        <source>收到未请求的数据 %1 字节，不是整块，本次上传的 %2 个数据块无法确认</source>
        <translation>received %1 bytes nobody asked for, not a whole block; the %2 blocks of this upload cannot be confirmed</translation>
    </message>
    <message>
        <source>数据文件无法读回，本次上传的 %1 个数据块无法确认</source>
        <translation>the data file cannot be read back; the %1 blocks of this upload cannot be confirmed</translation>
    </message>
    <message>
        <source>数据块 %1 与数据块 %2 相同，数据块 %3 起未经确认</source>
        <translation>block %1 is the same as block %2; blocks from %3 on are not confirmed</translation>
    </message>
    <message>
        <source>设备应答不完整，请求失败[类型:%1][指令:%2][长度:%3]</source>
        <translation>Incomplete reply, request failed [type:%1][command:%2][length:%3]</translation>
    </message>
    <message>
        <source>记录列表应答长度与数量不符[长度:%1][数量:%2]</source>
        <translation>Record list reply length does not match its count [length:%1][count:%2]</translation>
    </message>
    <message>
        <source>记录核对：%1</source>
        <translation>Record check: %1</translation>
    </message>
    <message>
        <source>记录核对失败：%1</source>
        <translation>Record check failed: %1</translation>
    </message>
    <message>
        <source>设备应答长度不足[类型:%1][指令:%2][长度:%3/%4]</source>
        <translation>Instrument answer too short [type:%1][command:%2][length:%3/%4]</translation>
    </message>
    <message>
        <source>启动上传失败，采集卡%1</source>
        <translation>Upload could not start: card %1</translation>
    </message>
    <message>
        <source>启动上传失败，未找到记录，采集卡%1</source>
        <translation>Upload could not start: record not found, card %1</translation>
    </message>
    <message>
        <source>采集卡%1已连接：设备接受了上传启动</source>
        <translation>Card %1 connected: the instrument took the upload start</translation>
    </message>
    <message>
        <source>采集卡%1未连接：设备未接受上传启动</source>
        <translation>Card %1 did not connect: the instrument did not take the upload start</translation>
    </message>
    <message>
        <source>启动下载失败，采集卡%1</source>
        <translation>Download could not start: card %1</translation>
    </message>
    <message>
        <source>采集卡%1已连接：设备接受了下载启动</source>
        <translation>Card %1 connected: the instrument took the download start</translation>
    </message>
    <message>
        <source>采集卡%1未连接：设备未接受下载启动</source>
        <translation>Card %1 did not connect: the instrument did not take the download start</translation>
    </message>
    <message>
        <source>启动下载失败</source>
        <translation>Download could not start</translation>
    </message>
    <message>
        <source>启动上传失败</source>
        <translation>Upload could not start</translation>
    </message>
    <message>
        <source>启动上传失败，未找到记录</source>
        <translation>Upload could not start: record not found</translation>
    </message>
    <message>
        <source>上传启动：%1个失败应答不属于任何采集卡，已忽略</source>
        <translation>Upload start: %1 failure answer(s) belong to no collection card, ignored</translation>
    </message>
    <message>
        <source>下载启动：%1个失败应答不属于任何采集卡，已忽略</source>
        <translation>Download start: %1 failure answer(s) belong to no collection card, ignored</translation>
    </message>
    <message>
        <source>更新记录信息文件失败（%1）</source>
        <translation>Updating the record information file failed (%1)</translation>
    </message>
    <message>
        <source>数据文件只有 %1 字节，应有 %2 字节，无法下载</source>
        <translation>the data file holds only %1 bytes of its %2; cannot download</translation>
    </message>
    <message>
        <source>读取数据文件失败（%1），数据块 %2 未发送</source>
        <translation>reading the data file failed (%1); block %2 not sent</translation>
    </message>
    <message>
        <source>数据文件只有 %1 字节，数据块 %2 不完整，未发送</source>
        <translation>the data file holds only %1 bytes; block %2 is incomplete and was not sent</translation>
    </message>
    <message>
        <source>读写数据文件失败（%1）</source>
        <translation>reading or writing the data file failed (%1)</translation>
    </message>
    <message>
        <source>记录%1未收到任何数据，未保留本地记录</source>
        <translation>Record %1 received no data; no local record kept</translation>
    </message>
    <message>
        <source>记录%1重新上传完成，已替换本地副本</source>
        <translation>Record %1 uploaded again in full; the local copy was replaced</translation>
    </message>
    <message>
        <source>记录%1重新上传的数据无法替换本地副本（%2），本地副本保持不变</source>
        <translation>The new upload of record %1 could not replace the local copy (%2); the local copy is unchanged</translation>
    </message>
    <message>
        <source>记录%1重新上传未完成，已丢弃新数据，本地副本保持不变</source>
        <translation>The new upload of record %1 did not finish; its data was discarded and the local copy is unchanged</translation>
    </message>
    <message>
        <source>设备未回应上传下载心跳</source>
        <translation>the instrument did not answer the transfer heartbeat</translation>
    </message>
    <message>
        <source>采集卡%1：%2</source>
        <translation>Card %1: %2</translation>
    </message>
    <message>
        <source>采集卡%1连续两次上传在同一处回退（%2），其数据无法确认</source>
        <translation>Card %1 rolled back at the same point in two uploads in a row (%2); its data cannot be proved</translation>
    </message>
    <message>
        <source>收到未请求的数据 %1 字节，超过 %2 块，本次上传的 %3 个数据块无法确认</source>
        <translation>Received %1 unrequested bytes, more than %2 blocks; the %3 blocks of this upload cannot be proved</translation>
    </message>
    <message>
        <source>同类请求尚未结束，未发送[类型:%1][指令:%2]</source>
        <translation>A request of the same kind is still open, not sent [type:%1][command:%2]</translation>
    </message>
    <message>
        <source>设备状态查询未得到应答，正在重新查询</source>
        <translation>The state query got no answer, asking again</translation>
    </message>
    <message>
        <source>设备在等待后仍未应答，结果未知[类型:%1][指令:%2]</source>
        <translation>The device did not answer after the wait either, outcome unknown [type:%1][command:%2]</translation>
    </message>
    <message>
        <source>采集卡%1未连接：设备接受了上传启动，采集卡未连接</source>
        <translation>Card %1 not connected: the instrument accepted the upload start, the card did not connect</translation>
    </message>
    <message>
        <source>采集卡%1未连接：设备接受了下载启动，采集卡未连接</source>
        <translation>Card %1 not connected: the instrument accepted the download start, the card did not connect</translation>
    </message>
    <message>
        <source>%1 条记录已不在设备上：%2</source>
        <translation>%1 records are no longer on the instrument: %2</translation>
    </message>
    <message>
        <source>记录%1上次替换本地副本时中断，已恢复原来的完整副本</source>
        <translation>The last replacement of the local copy of record %1 was cut short; the complete copy has been put back</translation>
    </message>
    <message>
        <source>记录%1上次替换本地副本时中断，新数据已完整，已删除留下的旧副本</source>
        <translation>The last replacement of the local copy of record %1 was cut short; the new data is complete and the old copy left behind has been removed</translation>
    </message>
    <message>
        <source>传输通道 %1 的指纹文件不可用，已从数据文件重建 %2/%3 个数据块的指纹</source>
        <translation>Transfer channel %1: the fingerprint file cannot be used; fingerprints of %2/%3 blocks rebuilt from the data file</translation>
    </message>
    <message>
        <source>采集卡在等待结束时仍在发送数据</source>
        <translation>the card was still sending while its end was awaited</translation>
    </message>
    <message>
        <source>采集卡在 %1 ms 后仍在发送数据，传输未能结束，本次上传的 %2 个数据块无法确认</source>
        <translation>the card was still sending after %1 ms, the transfer could not end; the %2 blocks of this upload cannot be confirmed</translation>
    </message>
    <message>
        <source>采集卡未静默 %1 ms 即结束，本次上传的 %2 个数据块无法确认</source>
        <translation>the transfer ended before the card was quiet for %1 ms; the %2 blocks of this upload cannot be confirmed</translation>
    </message>
    <message>
        <source>收到未请求的整块数据 %1 块，重复的数据块只说明其中 %2 块，其余与此前的数据块都不同，本次上传的 %3 个数据块无法确认</source>
        <translation>received %1 whole blocks that were not requested; repeated blocks account for only %2 of them, the rest differ from every earlier block; the %3 blocks of this upload cannot be confirmed</translation>
    </message>
    <message>
        <source>数据文件中有数据块无法比较，本次上传的 %1 个数据块无法确认</source>
        <translation>some blocks of the data file cannot be compared; the %1 blocks of this upload cannot be confirmed</translation>
    </message>
    <message>
        <source>与此前告知不符：%1</source>
        <translation>Not as told before: %1</translation>
    </message>
    <message>
        <source>设备在核对期间应答，以核对结果为准[类型:%1][指令:%2][结果:%3]</source>
        <translation>The instrument answered during the check; the check decides [type:%1][command:%2][result:%3]</translation>
    </message>
</context>
<context>
    <name>FolderOpener</name>
    <message>
        <source>无法打开文件夹</source>
        <translation>Cannot open the folder</translation>
    </message>
    <message>
        <source>文件夹不存在：
%1</source>
        <translation>The folder does not exist:
%1</translation>
    </message>
    <message>
        <source>没有可以打开文件夹的程序。文件夹位于：
%1</source>
        <translation>No program is available to open folders. The folder is at:
%1</translation>
    </message>
    <message>
        <source>没有设置文件夹。</source>
        <translation>No folder is set.</translation>
    </message>
</context>
<context>
    <name>ImportIntroForm</name>
    <message>
        <source>设备采样率为 60 M</source>
        <translation>The instrument samples at 60 M</translation>
    </message>
    <message>
        <source>数据文件格式</source>
        <translation>Data file format</translation>
    </message>
</context>
<context>
    <name>LastWords</name>
    <message>
        <source>回放</source>
        <translation>Playback</translation>
    </message>
    <message>
        <source>采集/转发</source>
        <translation>Collection/forwarding</translation>
    </message>
    <message>
        <source>设备现况与此前告知不符</source>
        <translation>The instrument is not as told before</translation>
    </message>
    <message>
        <source>记录 %1 仍在设备上（此前告知已删除）</source>
        <translation>Record %1 is still on the instrument (told deleted before)</translation>
    </message>
    <message>
        <source>记录 %1 已不在设备上（此前告知仍在设备上）</source>
        <translation>Record %1 is no longer on the instrument (told still there before)</translation>
    </message>
    <message>
        <source>记录 %1 的备注已修改（此前告知未修改）</source>
        <translation>The remark of record %1 was changed (told unchanged before)</translation>
    </message>
    <message>
        <source>设备上仍有此前的记录（此前告知已清空所有记录）：
%1</source>
        <translation>Records from before are still on the instrument (told all cleared before):
%1</translation>
    </message>
    <message>
        <source>设备上此前的 %1 条记录已全部清除（此前告知仍在设备上）</source>
        <translation>The %1 records from before are all cleared (told still there before)</translation>
    </message>
    <message>
        <source>%1正在进行：记录 %2（此前告知未启动）</source>
        <translation>%1 is running: record %2 (told not started before)</translation>
    </message>
    <message>
        <source>设备仍在%1：记录 %2（此前告知已停止）</source>
        <translation>%1 still runs on the instrument: record %2 (told stopped before)</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Kelo采集回放仪上位机软件</source>
        <translation>Kelo Record and Playback Control Software</translation>
    </message>
    <message>
        <source>采集回放仪控制软件</source>
        <translation>Record and Playback Control</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>–</source>
        <translation>–</translation>
    </message>
    <message>
        <source>╳</source>
        <translation>╳</translation>
    </message>
    <message>
        <source>采集设置</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>回放设置</source>
        <translation>Playback</translation>
    </message>
    <message>
        <source>记录管理</source>
        <translation>Records</translation>
    </message>
    <message>
        <source>监测数据</source>
        <translation>Receiver</translation>
    </message>
    <message>
        <source>星历数据</source>
        <translation>Ephemeris</translation>
    </message>
    <message>
        <source>星空图</source>
        <translation>Sky Plot</translation>
    </message>
    <message>
        <source>系统设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>扩展</source>
        <translation>Extension</translation>
    </message>
    <message>
        <source>当前状态：</source>
        <translation>State:</translation>
    </message>
    <message>
        <source>空闲中</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>已执行时长：</source>
        <translation>Elapsed:</translation>
    </message>
    <message>
        <source>00:00:00</source>
        <translation>00:00:00</translation>
    </message>
    <message>
        <source>系统状态：</source>
        <translation>System:</translation>
    </message>
    <message>
        <source>未连接设备</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>SN：</source>
        <translation>SN:</translation>
    </message>
    <message>
        <source>转发器控制软件</source>
        <translation>Transponder Control Software</translation>
    </message>
    <message>
        <source>转发设置</source>
        <translation>Forwarding</translation>
    </message>
    <message>
        <source>蓝色</source>
        <translation>Blue</translation>
    </message>
    <message>
        <source>深蓝</source>
        <translation>Dark blue</translation>
    </message>
    <message>
        <source>黑色</source>
        <translation>Black</translation>
    </message>
    <message>
        <source>黑色扁平</source>
        <translation>Black flat</translation>
    </message>
    <message>
        <source>深黑</source>
        <translation>Deep black</translation>
    </message>
    <message>
        <source>PS黑色</source>
        <translation>PS black</translation>
    </message>
    <message>
        <source>银色</source>
        <translation>Silver</translation>
    </message>
    <message>
        <source>白色扁平</source>
        <translation>White flat</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>采集中</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>回放中</source>
        <translation>Playing back</translation>
    </message>
    <message>
        <source>转发中</source>
        <translation>Forwarding</translation>
    </message>
    <message>
        <source>上传中</source>
        <translation>Uploading</translation>
    </message>
    <message>
        <source>下载中</source>
        <translation>Downloading</translation>
    </message>
    <message>
        <source>再生中</source>
        <translation>Regenerating</translation>
    </message>
    <message>
        <source>初始化中</source>
        <translation>Initialising</translation>
    </message>
    <message>
        <source>设备连接成功，初始化中....</source>
        <translation>Instrument connected, initialising...</translation>
    </message>
    <message>
        <source>设备连接成功</source>
        <translation>Instrument connected</translation>
    </message>
    <message>
        <source>获取设备信息</source>
        <translation>Reading device information</translation>
    </message>
    <message>
        <source>获取配置项</source>
        <translation>Reading configuration</translation>
    </message>
    <message>
        <source>获取记录列表</source>
        <translation>Reading record list</translation>
    </message>
    <message>
        <source>同步设备状态</source>
        <translation>Synchronising device state</translation>
    </message>
    <message>
        <source>同步设备状态成功</source>
        <translation>Device state synchronised</translation>
    </message>
    <message>
        <source>时钟源：%1</source>
        <translation>Clock: %1</translation>
    </message>
    <message>
        <source>外部时钟</source>
        <translation>External</translation>
    </message>
    <message>
        <source>内部时钟</source>
        <translation>Internal</translation>
    </message>
    <message>
        <source>设备主动停止</source>
        <translation>Stopped by the instrument</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>设备处于非空闲状态，是否停止后退出?</source>
        <translation>The instrument is busy. Stop it first?</translation>
    </message>
    <message>
        <source>停止并退出</source>
        <translation>Stop and exit</translation>
    </message>
    <message>
        <source>不停止退出</source>
        <translation>Exit without stopping</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>连接断开</source>
        <translation>Link down</translation>
    </message>
    <message>
        <source>采集</source>
        <translation>Collection</translation>
    </message>
    <message>
        <source>回放</source>
        <translation>Playback</translation>
    </message>
    <message>
        <source>转发</source>
        <translation>Forwarding</translation>
    </message>
    <message>
        <source>上传</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>再生</source>
        <translation>Regeneration</translation>
    </message>
    <message>
        <source>连接断开期间设备状态已变为%1</source>
        <translation>While the link was down the instrument changed to: %1</translation>
    </message>
    <message>
        <source>连接断开期间%1已结束</source>
        <translation>%1 ended while the link was down</translation>
    </message>
    <message>
        <source>启动采集/转发</source>
        <translation>Start recording/forwarding</translation>
    </message>
    <message>
        <source>停止采集/转发</source>
        <translation>Stop recording/forwarding</translation>
    </message>
    <message>
        <source>启动回放</source>
        <translation>Start playback</translation>
    </message>
    <message>
        <source>停止回放</source>
        <translation>Stop playback</translation>
    </message>
    <message>
        <source>启动上传</source>
        <translation>Start upload</translation>
    </message>
    <message>
        <source>启动下载</source>
        <translation>Start download</translation>
    </message>
    <message>
        <source>停止上传</source>
        <translation>Stop upload</translation>
    </message>
    <message>
        <source>停止下载</source>
        <translation>Stop download</translation>
    </message>
    <message>
        <source>修改设备IP</source>
        <translation>Change the instrument IP</translation>
    </message>
    <message>
        <source>设备自检</source>
        <translation>Instrument self-check</translation>
    </message>
    <message>
        <source>连接断开，以下操作未得到设备确认:
%1</source>
        <translation>The link dropped; the instrument did not confirm:
%1</translation>
    </message>
    <message>
        <source>删除记录 %1（未发送）</source>
        <translation>Delete record %1 (not sent)</translation>
    </message>
    <message>
        <source>设备未连接：需要设备的功能已停用，正在自动重连（每 %1 秒一次）</source>
        <translation>Not connected: what needs the instrument is off; reconnecting every %1 s</translation>
    </message>
    <message>
        <source>设备未连接：需要设备的功能已停用。连接已手动断开，请在“系统设置”中按“连接”</source>
        <translation>Not connected: what needs the instrument is off. Disconnected by hand: press Connect under Settings</translation>
    </message>
    <message>
        <source>连接已恢复</source>
        <translation>Connection restored</translation>
    </message>
    <message>
        <source>设备已空闲（运行在询问期间已结束），是否退出?</source>
        <translation>The instrument is idle (the run ended while you were asked). Exit?</translation>
    </message>
    <message>
        <source>设备参数设置</source>
        <translation>Device setting</translation>
    </message>
    <message>
        <source>未连接</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>设备未连接</source>
        <translation>Instrument not connected</translation>
    </message>
    <message>
        <source>设备未接受心跳注册</source>
        <translation>The instrument did not accept the heartbeat registration</translation>
    </message>
    <message>
        <source>扩展协议</source>
        <translation>Extension</translation>
    </message>
    <message>
        <source>DB9数据</source>
        <translation>DB9 Data</translation>
    </message>
    <message>
        <source>场景管理</source>
        <translation>Scenes</translation>
    </message>
</context>
<context>
    <name>MessageDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>信息</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Hello World</source>
        <translation>Hello World</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>OpenRequests</name>
    <message>
        <source>正在核对…</source>
        <translation>Checking…</translation>
    </message>
    <message>
        <source>等待设备应答…</source>
        <translation>Waiting for the device to answer…</translation>
    </message>
</context>
<context>
    <name>OutputPowerAtten</name>
    <message>
        <source>输出功率衰减控制</source>
        <translation>Output Power Attenuation</translation>
    </message>
    <message>
        <source>输出功率衰减</source>
        <translation>Output power attenuation</translation>
    </message>
    <message>
        <source>衰减通道：</source>
        <translation>Channel:</translation>
    </message>
    <message>
        <source>所有通道</source>
        <translation>All channels</translation>
    </message>
    <message>
        <source>衰减功率：</source>
        <translation>Attenuation:</translation>
    </message>
</context>
<context>
    <name>ParamConfig</name>
    <message>
        <source>设备信号质量校准</source>
        <translation>Signal Quality Calibration</translation>
    </message>
    <message>
        <source>设备未初始化</source>
        <translation>Device not initialised</translation>
    </message>
    <message>
        <source>管理员密码</source>
        <translation>Administrator password</translation>
    </message>
    <message>
        <source>登录</source>
        <translation>Log in</translation>
    </message>
    <message>
        <source>采集卡IP：</source>
        <translation>Card IP:</translation>
    </message>
    <message>
        <source>查询</source>
        <translation>Query</translation>
    </message>
    <message>
        <source>保存参数</source>
        <translation>Save parameters</translation>
    </message>
    <message>
        <source>通道/频段/位宽</source>
        <translation>Channel / band / bit width</translation>
    </message>
    <message>
        <source>通   道：</source>
        <translation>Channel:</translation>
    </message>
    <message>
        <source>位    宽：</source>
        <translation>Bit width:</translation>
    </message>
    <message>
        <source>频    点：</source>
        <translation>Band:</translation>
    </message>
    <message>
        <source>衰减校准</source>
        <translation>Attenuation calibration</translation>
    </message>
    <message>
        <source>衰 减 值：</source>
        <translation>Attenuation:</translation>
    </message>
    <message>
        <source>衰减值间隔：</source>
        <translation>Step:</translation>
    </message>
    <message>
        <source>衰减补偿值：</source>
        <translation>Compensation:</translation>
    </message>
    <message>
        <source>参数设置</source>
        <translation>Parameters</translation>
    </message>
    <message>
        <source>基础偏移参数</source>
        <translation>Base offsets</translation>
    </message>
    <message>
        <source>当前值</source>
        <translation>Current</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>衰减值</source>
        <translation>Attenuation</translation>
    </message>
    <message>
        <source>AD衰减补偿</source>
        <translation>AD attenuation compensation</translation>
    </message>
    <message>
        <source>查询AD配置</source>
        <translation>Query AD configuration</translation>
    </message>
    <message>
        <source>衰减值:%1dBm</source>
        <translation>Attenuation: %1 dBm</translation>
    </message>
    <message>
        <source>查询AD9009配置</source>
        <translation>Query AD9009 configuration</translation>
    </message>
    <message>
        <source>查询超时，采集卡无应答</source>
        <translation>Query timed out: no card answered</translation>
    </message>
    <message>
        <source>查询失败</source>
        <translation>Query failed</translation>
    </message>
    <message>
        <source>%1 秒内没有采集卡应答查询，请检查采集卡IP和网络</source>
        <translation>No card answered the query within %1 s. Check the card IP and the network</translation>
    </message>
    <message>
        <source>登录失败</source>
        <translation>Login failed</translation>
    </message>
    <message>
        <source>管理员密码错误</source>
        <translation>Wrong administrator password</translation>
    </message>
    <message>
        <source>设备已重新连接</source>
        <translation>Instrument connected again</translation>
    </message>
    <message>
        <source>保存参数已发送，采集卡不回复确认</source>
        <translation>Parameters sent; the card does not confirm a save</translation>
    </message>
    <message>
        <source>基础偏移参数 %1 已发送</source>
        <translation>Base offset %1 sent</translation>
    </message>
    <message>
        <source>衰减值 %1 的AD衰减补偿 %2 已发送</source>
        <translation>AD compensation %2 of attenuation step %1 sent</translation>
    </message>
    <message>
        <source>已取得设备信息，采集卡尚未应答</source>
        <translation>Instrument information received; no card has answered yet</translation>
    </message>
    <message>
        <source>设备未连接，校准在连接后可用</source>
        <translation>Instrument not connected: calibration is available once it is connected</translation>
    </message>
</context>
<context>
    <name>PlaceholderPage</name>
    <message>
        <source>此页面尚未实现</source>
        <translation>This page is not built yet</translation>
    </message>
</context>
<context>
    <name>PlayBackSet</name>
    <message>
        <source>回放设置</source>
        <translation>Playback</translation>
    </message>
    <message>
        <source>记录列表</source>
        <translation>Records</translation>
    </message>
    <message>
        <source>基本信息</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>记录名称：</source>
        <translation>Record name:</translation>
    </message>
    <message>
        <source>采集时间：</source>
        <translation>Recorded at:</translation>
    </message>
    <message>
        <source>--</source>
        <translation>--</translation>
    </message>
    <message>
        <source>采集时长：</source>
        <translation>Duration:</translation>
    </message>
    <message>
        <source>00:00:00</source>
        <translation>00:00:00</translation>
    </message>
    <message>
        <source>采集频段：</source>
        <translation>Bands:</translation>
    </message>
    <message>
        <source>循环设置</source>
        <translation>Repeat</translation>
    </message>
    <message>
        <source>回放次数：</source>
        <translation>Repeat count:</translation>
    </message>
    <message>
        <source>循环回放</source>
        <translation>Loop</translation>
    </message>
    <message>
        <source>同步模式</source>
        <translation>Trigger mode</translation>
    </message>
    <message>
        <source>内部触发</source>
        <translation>Internal trigger</translation>
    </message>
    <message>
        <source>外部触发</source>
        <translation>External trigger</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;同步方式说明：&lt;/p&gt;&lt;p&gt;1、内部触发：使用设备内部时钟作为开始采集的启动信号&lt;/p&gt;&lt;p&gt;2、外部触发：使用外部1pps触发信号作为开始采集的启动信号&lt;/p&gt;&lt;p&gt;注：外部触发方式，设备需要接入外部输入的触发信号&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Trigger modes:&lt;/p&gt;&lt;p&gt;1. Internal trigger: the instrument&apos;s internal clock gives the start signal.&lt;/p&gt;&lt;p&gt;2. External trigger: an external 1PPS signal gives the start signal.&lt;/p&gt;&lt;p&gt;Note: external trigger needs a trigger signal connected to the instrument&apos;s input.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>输出通道设置</source>
        <translation>Output channels</translation>
    </message>
    <message>
        <source>通道1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>通道2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source>输出功率衰减</source>
        <translation>Output power attenuation</translation>
    </message>
    <message>
        <source>衰减通道：</source>
        <translation>Channel:</translation>
    </message>
    <message>
        <source>所有通道</source>
        <translation>All channels</translation>
    </message>
    <message>
        <source>衰减功率：</source>
        <translation>Attenuation:</translation>
    </message>
    <message>
        <source>区间回放</source>
        <translation>Interval playback</translation>
    </message>
    <message>
        <source>开始时间</source>
        <translation>Start time</translation>
    </message>
    <message>
        <source>回放总时长</source>
        <translation>Total length</translation>
    </message>
    <message>
        <source>00 S</source>
        <translation>00 s</translation>
    </message>
    <message>
        <source>结束时间</source>
        <translation>End time</translation>
    </message>
    <message>
        <source>回放进度：</source>
        <translation>Progress:</translation>
    </message>
    <message>
        <source>%p%</source>
        <translation>%p%</translation>
    </message>
    <message>
        <source>定时回放</source>
        <translation>Timed playback</translation>
    </message>
    <message>
        <source>开始回放</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>停止回放</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>启动失败</source>
        <translation>Start failed</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>请选择一条记录进行回放</source>
        <translation>Please select a record to play back</translation>
    </message>
    <message>
        <source>准备中...</source>
        <translation>Preparing...</translation>
    </message>
    <message>
        <source>等待中...</source>
        <translation>Waiting...</translation>
    </message>
    <message>
        <source>停止回放失败</source>
        <translation>Stopping playback failed</translation>
    </message>
    <message>
        <source>停止回放失败，请重试</source>
        <translation>Stopping playback failed, please try again</translation>
    </message>
    <message>
        <source>启动回放失败</source>
        <translation>Starting playback failed</translation>
    </message>
    <message>
        <source>设备上报失败</source>
        <translation>Instrument reported a failure</translation>
    </message>
    <message>
        <source>第%1次回放</source>
        <translation>Pass %1</translation>
    </message>
    <message>
        <source>不支持的频段:%1</source>
        <translation>Unsupported band: %1</translation>
    </message>
    <message>
        <source>[%2] 不支持的频段:%1</source>
        <translation>[%2] Unsupported band: %1</translation>
    </message>
    <message>
        <source>记录名</source>
        <translation>Record name</translation>
    </message>
    <message>
        <source>采集时长</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>位宽</source>
        <translation>Bit width</translation>
    </message>
    <message>
        <source>带宽</source>
        <translation>Bandwidth</translation>
    </message>
    <message>
        <source>采样率</source>
        <translation>Sample rate</translation>
    </message>
    <message>
        <source>频段%1</source>
        <translation>Band %1</translation>
    </message>
    <message>
        <source>备注</source>
        <translation>Remark</translation>
    </message>
    <message>
        <source>启动回放</source>
        <translation>Start playback</translation>
    </message>
    <message>
        <source>设备在响应超时后已开始回放</source>
        <translation>After not answering in time, the instrument has started playback</translation>
    </message>
    <message>
        <source>设备在响应超时后已停止回放</source>
        <translation>After not answering in time, the instrument has stopped playback</translation>
    </message>
    <message>
        <source>回放中</source>
        <translation>Playing back</translation>
    </message>
    <message>
        <source>空闲中</source>
        <translation>Idle</translation>
    </message>
    <message>
        <source>其他工作状态</source>
        <translation>busy with something else</translation>
    </message>
    <message>
        <source>停止回放</source>
        <comment>message title</comment>
        <translation>Stop playback</translation>
    </message>
    <message>
        <source>采集位宽：</source>
        <translation>Bit width:</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>(中心频率: %1 MHz)</source>
        <translation>(centre frequency: %1 MHz)</translation>
    </message>
    <message>
        <source>本地记录存储路径不存在</source>
        <translation>The local record folder does not exist</translation>
    </message>
    <message>
        <source>数据本地储存文件夹不存在!
请手动前往【系统设置】界面修改【数据保存路径】</source>
        <translation>The local data folder does not exist!
Set [Data folder] on the [Settings] page.</translation>
    </message>
    <message>
        <source>无效</source>
        <translation>Invalid</translation>
    </message>
    <message>
        <source>当前数据无效!
请选择一条有效数据后重试。</source>
        <translation>This record is not valid!
Select a valid record and try again.</translation>
    </message>
</context>
<context>
    <name>ReceiverCNR</name>
    <message>
        <source>监测数据</source>
        <translation>Receiver</translation>
    </message>
    <message>
        <source>UTC日期</source>
        <translation>UTC date</translation>
    </message>
    <message>
        <source>UTC时间</source>
        <translation>UTC time</translation>
    </message>
    <message>
        <source>GPS状态</source>
        <translation>GPS status</translation>
    </message>
    <message>
        <source>纬度(°)</source>
        <translation>Latitude (°)</translation>
    </message>
    <message>
        <source>经度(°)</source>
        <translation>Longitude (°)</translation>
    </message>
    <message>
        <source>高度(m)</source>
        <translation>Height (m)</translation>
    </message>
    <message>
        <source>海拔高度(m)</source>
        <translation>Altitude MSL (m)</translation>
    </message>
    <message>
        <source>高程异常(CGS2000)(m)</source>
        <translation>Height anomaly (CGCS2000) (m)</translation>
    </message>
    <message>
        <source>椭球相对高度(m)</source>
        <translation>Geoid separation (m)</translation>
    </message>
    <message>
        <source>参与解算卫星数</source>
        <translation>Satellites used</translation>
    </message>
    <message>
        <source>HDOP</source>
        <translation>HDOP</translation>
    </message>
    <message>
        <source>差分龄期(s)</source>
        <translation>Differential age (s)</translation>
    </message>
    <message>
        <source>差分基站ID</source>
        <translation>Reference station ID</translation>
    </message>
    <message>
        <source>地面速率(m/s)</source>
        <translation>Ground speed (m/s)</translation>
    </message>
    <message>
        <source>地面航向(°)</source>
        <translation>Course over ground (°)</translation>
    </message>
    <message>
        <source>磁偏角(°)</source>
        <translation>Magnetic variation (°)</translation>
    </message>
    <message>
        <source>定位模式</source>
        <translation>Positioning mode</translation>
    </message>
    <message>
        <source>定位状态</source>
        <translation>Navigation status</translation>
    </message>
    <message>
        <source>末尾添加\r\n</source>
        <translation>Append \r\n</translation>
    </message>
    <message>
        <source>指令控制</source>
        <translation>Commands</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>复位</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>热启动</source>
        <translation>Hot start</translation>
    </message>
    <message>
        <source>冷启动</source>
        <translation>Cold start</translation>
    </message>
    <message>
        <source>打开输出</source>
        <translation>Output on</translation>
    </message>
    <message>
        <source>关闭输出</source>
        <translation>Output off</translation>
    </message>
    <message>
        <source>未发送：指令为空</source>
        <translation>Not sent: the command is empty</translation>
    </message>
    <message>
        <source>未发送：接收机未连接</source>
        <translation>Not sent: no receiver connected</translation>
    </message>
    <message>
        <source>已发送：%1</source>
        <translation>Sent: %1</translation>
    </message>
    <message>
        <source>设备未连接：输出在连接恢复后自动打开</source>
        <translation>Not connected: the output opens by itself once the link is back</translation>
    </message>
    <message>
        <source>BDS状态</source>
        <translation>BDS status</translation>
    </message>
</context>
<context>
    <name>ReceiverEphemeris</name>
    <message>
        <source>星历数据</source>
        <translation>Ephemeris</translation>
    </message>
    <message>
        <source>BDS</source>
        <translation>BDS</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;接收到的卫星列表&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Satellite PRN (ephemeris received)&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>更新星历数据</source>
        <translation>Update ephemeris</translation>
    </message>
    <message>
        <source>GPS</source>
        <translation>GPS</translation>
    </message>
    <message>
        <source>卫星 PRN 编号</source>
        <translation>Satellite PRN</translation>
    </message>
    <message>
        <source>Tow 子帧 1 的时间标识(s)</source>
        <translation>TOW of subframe 1 (s)</translation>
    </message>
    <message>
        <source>卫星健康状态</source>
        <translation>Satellite health</translation>
    </message>
    <message>
        <source>IODE 星历数据 1 龄期</source>
        <translation>IODE ephemeris data age 1</translation>
    </message>
    <message>
        <source>IODE2 星历数据 2 龄期</source>
        <translation>IODE2 ephemeris data age 2</translation>
    </message>
    <message>
        <source>GPS周计数</source>
        <translation>GPS week</translation>
    </message>
    <message>
        <source>GPS周Z计数周期(TOE周)</source>
        <translation>Z-count week (Toe week)</translation>
    </message>
    <message>
        <source>Toe 星历参考时刻(s)</source>
        <translation>Toe ephemeris reference time (s)</translation>
    </message>
    <message>
        <source>A 轨道长半轴(m)</source>
        <translation>A semi-major axis (m)</translation>
    </message>
    <message>
        <source>DeltaN 平均角速度的改正值(rad/s)</source>
        <translation>DeltaN mean motion correction (rad/s)</translation>
    </message>
    <message>
        <source>M0 Toe时间的平近点角(rad)</source>
        <translation>M0 mean anomaly at Toe (rad)</translation>
    </message>
    <message>
        <source>e 偏心率</source>
        <translation>e eccentricity</translation>
    </message>
    <message>
        <source>ω 近地点幅角(rad)</source>
        <translation>ω argument of perigee (rad)</translation>
    </message>
    <message>
        <source>Cuc 纬度幅角(rad)</source>
        <translation>Cuc argument of latitude (rad)</translation>
    </message>
    <message>
        <source>Cus 纬度幅角(rad)</source>
        <translation>Cus argument of latitude (rad)</translation>
    </message>
    <message>
        <source>Crc 轨道半径(m)</source>
        <translation>Crc orbit radius (m)</translation>
    </message>
    <message>
        <source>Crs 轨道半径(m)</source>
        <translation>Crs orbit radius (m)</translation>
    </message>
    <message>
        <source>Cic 轨道倾角(rad)</source>
        <translation>Cic inclination (rad)</translation>
    </message>
    <message>
        <source>Cis 轨道倾角(rad)</source>
        <translation>Cis inclination (rad)</translation>
    </message>
    <message>
        <source>i0参考时时刻轨道倾角</source>
        <translation>i0 inclination at reference time</translation>
    </message>
    <message>
        <source>iDot 轨道倾角变化率(rad/s)</source>
        <translation>iDot rate of inclination (rad/s)</translation>
    </message>
    <message>
        <source>Ω0 升交点赤经(rad)</source>
        <translation>Ω0 right ascension (rad)</translation>
    </message>
    <message>
        <source>ΩDot 升交点赤经变化率(rad/s)</source>
        <translation>ΩDot rate of right ascension (rad/s)</translation>
    </message>
    <message>
        <source>IODC 时钟数据龄</source>
        <translation>IODC clock data age</translation>
    </message>
    <message>
        <source>Toc 卫星钟差参考时间(s)</source>
        <translation>Toc clock reference time (s)</translation>
    </message>
    <message>
        <source>Tgd 群延迟(s)</source>
        <translation>Tgd group delay (s)</translation>
    </message>
    <message>
        <source>af0 卫星钟差参数(s)</source>
        <translation>af0 clock bias (s)</translation>
    </message>
    <message>
        <source>af1 卫星钟漂参数(s/s)</source>
        <translation>af1 clock drift (s/s)</translation>
    </message>
    <message>
        <source>af2 卫星钟漂变化率参数(s/s^2)</source>
        <translation>af2 clock drift rate (s/s^2)</translation>
    </message>
    <message>
        <source>反欺骗</source>
        <translation>Anti-spoofing</translation>
    </message>
    <message>
        <source>改正平均角速度(rad/s)</source>
        <translation>Corrected mean motion (rad/s)</translation>
    </message>
    <message>
        <source>URA 用户距离精度(m^2)</source>
        <translation>URA user range accuracy (m^2)</translation>
    </message>
    <message>
        <source>卫星类别</source>
        <translation>Satellite type</translation>
    </message>
    <message>
        <source>空间信号监测精度</source>
        <translation>Signal-in-space accuracy</translation>
    </message>
    <message>
        <source>B1C/B2A 星历数据龄期(IODE)</source>
        <translation>B1C/B2a ephemeris age (IODE)</translation>
    </message>
    <message>
        <source>B1C/B2A 时钟数据龄期(IODC)</source>
        <translation>B1C/B2a clock data age (IODC)</translation>
    </message>
    <message>
        <source>DeltaA 长半轴偏差(m)</source>
        <translation>DeltaA semi-major axis offset (m)</translation>
    </message>
    <message>
        <source>长半轴变化率(m/s)</source>
        <translation>Rate of semi-major axis (m/s)</translation>
    </message>
    <message>
        <source>DeltaN 平均角速度计算差(rad/s)</source>
        <translation>DeltaN mean motion offset (rad/s)</translation>
    </message>
    <message>
        <source>平均角速度变化率(rad/s^2)</source>
        <translation>Mean motion rate (rad/s^2)</translation>
    </message>
    <message>
        <source>M0 参考时刻的平近点角(rad)</source>
        <translation>M0 mean anomaly at ref. time (rad)</translation>
    </message>
    <message>
        <source>B1C导频分量时延差(s)</source>
        <translation>B1C pilot group delay (s)</translation>
    </message>
    <message>
        <source>B2A导频分量时延差(s)</source>
        <translation>B2a pilot group delay (s)</translation>
    </message>
    <message>
        <source>B2b I支路时延差(s)</source>
        <translation>B2b I group delay (s)</translation>
    </message>
    <message>
        <source>B2b Q支路时延差(s)</source>
        <translation>B2b Q group delay (s)</translation>
    </message>
    <message>
        <source>B2A数据相对导频时延修正(s)</source>
        <translation>B2a data/pilot delay (s)</translation>
    </message>
    <message>
        <source>B1C数据相对导频时延修正(s)</source>
        <translation>B1C data/pilot delay (s)</translation>
    </message>
    <message>
        <source>iTop数据预测的周内时刻</source>
        <translation>iTop time of week of prediction</translation>
    </message>
    <message>
        <source>SISAIoe 卫星轨道的切向和法向精度指数</source>
        <translation>SISAIoe along/cross-track accuracy</translation>
    </message>
    <message>
        <source>SISAIocb 卫星轨道的径向及卫星钟固定偏差精度指数</source>
        <translation>SISAIocb radial/clock bias accuracy</translation>
    </message>
    <message>
        <source>SISAIoc1 卫星钟频偏精度指数</source>
        <translation>SISAIoc1 clock offset accuracy</translation>
    </message>
    <message>
        <source>SISAIoc2 卫星钟频漂精度指数</source>
        <translation>SISAIoc2 clock drift accuracy</translation>
    </message>
    <message>
        <source>频点类型</source>
        <translation>Signal type</translation>
    </message>
    <message>
        <source>未发送：接收机未连接，请在“监测数据”中点击“打开输出”</source>
        <translation>Not sent: no receiver is connected; press “Output on” in Monitoring</translation>
    </message>
    <message>
        <source>已发送：%1</source>
        <translation>Sent: %1</translation>
    </message>
    <message>
        <source>北斗周计数</source>
        <translation>BDS week</translation>
    </message>
    <message>
        <source>北斗周Z计数周期(TOE周)</source>
        <translation>Z-count week (Toe week)</translation>
    </message>
</context>
<context>
    <name>ReceiverStar</name>
    <message>
        <source>星空图</source>
        <translation>Sky Plot</translation>
    </message>
</context>
<context>
    <name>RecordBands</name>
    <message>
        <source>频段编号 %1</source>
        <translation>Band number %1</translation>
    </message>
    <message>
        <source>不支持的频段:%1</source>
        <translation>Unsupported band: %1</translation>
    </message>
</context>
<context>
    <name>RecordCheck</name>
    <message>
        <source>%1 仍在设备上</source>
        <translation>%1 is still on the instrument</translation>
    </message>
    <message>
        <source>%1 已删除</source>
        <translation>%1 was deleted</translation>
    </message>
    <message>
        <source>%1 不在设备上</source>
        <translation>%1 is not on the instrument</translation>
    </message>
    <message>
        <source>%1 备注已修改</source>
        <translation>%1: remark changed</translation>
    </message>
    <message>
        <source>%1 备注未修改</source>
        <translation>%1: remark not changed</translation>
    </message>
    <message>
        <source>所有记录已清空</source>
        <translation>All records are cleared</translation>
    </message>
    <message>
        <source>设备上仍有 %1 条记录</source>
        <translation>%1 records are still on the instrument</translation>
    </message>
    <message>
        <source>清空所有记录</source>
        <translation>Clear all records</translation>
    </message>
    <message>
        <source>删除记录 %1</source>
        <translation>Delete record %1</translation>
    </message>
    <message>
        <source>修改记录备注 %1</source>
        <translation>Change the remark of record %1</translation>
    </message>
    <message>
        <source>未能获取记录列表，以下请求的结果未知：
%1</source>
        <translation>The record list could not be fetched; the outcome of these requests is unknown:
%1</translation>
    </message>
    <message>
        <source>设备应答不完整，已重新获取记录列表：
%1</source>
        <translation>The instrument&apos;s answer was incomplete; the record list was fetched again:
%1</translation>
    </message>
    <message>
        <source>设备未及时应答，已重新获取记录列表：
%1</source>
        <translation>The instrument did not answer in time; the record list was fetched again:
%1</translation>
    </message>
    <message>
        <source>以下记录未发送：
%1</source>
        <translation>These records were not sent:
%1</translation>
    </message>
</context>
<context>
    <name>RecordImport</name>
    <message>
        <source>导入外部记录数据</source>
        <translation>Import External Record Data</translation>
    </message>
    <message>
        <source>╳</source>
        <translation>╳</translation>
    </message>
    <message>
        <source>记录数据文件列表(拖入或浏览文件)</source>
        <translation>Record data files (drop here or browse)</translation>
    </message>
    <message>
        <source>清空列表</source>
        <translation>Clear list</translation>
    </message>
    <message>
        <source>浏览文件</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>文件路径</source>
        <translation>File path</translation>
    </message>
    <message>
        <source>文件大小</source>
        <translation>File size</translation>
    </message>
    <message>
        <source>采集卡</source>
        <translation>Card</translation>
    </message>
    <message>
        <source>记录名设置</source>
        <translation>Record name</translation>
    </message>
    <message>
        <source>生成方式</source>
        <translation>Naming</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>手动</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>记录显示时间</source>
        <translation>Shown time</translation>
    </message>
    <message>
        <source>其他记录信息设置</source>
        <translation>Other record information</translation>
    </message>
    <message>
        <source>记录持续时间(s)</source>
        <translation>Duration (s)</translation>
    </message>
    <message>
        <source>位宽(Bit)</source>
        <translation>Bit width</translation>
    </message>
    <message>
        <source>采样带宽(Hz)</source>
        <translation>Bandwidth (Hz)</translation>
    </message>
    <message>
        <source>单通道数据</source>
        <translation>Single-channel data</translation>
    </message>
    <message>
        <source>还原自动生成</source>
        <translation>Reset to auto</translation>
    </message>
    <message>
        <source>备注信息</source>
        <translation>Remark</translation>
    </message>
    <message>
        <source>导入进度</source>
        <translation>Import progress</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>导入</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>信号频段</source>
        <translation>Signal bands</translation>
    </message>
    <message>
        <source>信号频段%1</source>
        <translation>Band %1</translation>
    </message>
    <message>
        <source>添加数据文件失败</source>
        <translation>Adding data file failed</translation>
    </message>
    <message>
        <source>选择文件失败，请检查文件是否存在</source>
        <translation>Cannot select the file; check that it exists</translation>
    </message>
    <message>
        <source>打开文件失败，请检查文件是否被占用</source>
        <translation>Cannot open the file; check that no other program is using it</translation>
    </message>
    <message>
        <source>文件已存在</source>
        <translation>File already added</translation>
    </message>
    <message>
        <source>新添加记录文件数据大小与已添加记录文件数据大小不匹配</source>
        <translation>The new file&apos;s size does not match the files already added</translation>
    </message>
    <message>
        <source>数据文件数量超出设备采集卡数量，清空后重试</source>
        <translation>More data files than acquisition cards; clear the list and try again</translation>
    </message>
    <message>
        <source>请选择数据文件</source>
        <translation>Please choose the data files</translation>
    </message>
    <message>
        <source>保存失败</source>
        <translation>Save failed</translation>
    </message>
    <message>
        <source>数据文件数量需等于采集卡数量（ %1 / %2 ）</source>
        <translation>The number of data files must equal the number of cards ( %1 / %2 )</translation>
    </message>
    <message>
        <source>硬盘剩余空间不足</source>
        <translation>Not enough free disk space</translation>
    </message>
    <message>
        <source>截断末尾</source>
        <translation>Cut the end</translation>
    </message>
    <message>
        <source>末尾补零</source>
        <translation>Pad with zeros</translation>
    </message>
    <message>
        <source>每个文件必须对应不同的采集卡</source>
        <translation>Each file must go to a different card</translation>
    </message>
    <message>
        <source>频点数大于当前支持通道数</source>
        <translation>More bands than the instrument has channels</translation>
    </message>
    <message>
        <source>导入确认</source>
        <translation>Confirm import</translation>
    </message>
    <message>
        <source>导入记录将复制数据至本地存储目录，是否在导入后删除原始文件？</source>
        <translation>Importing copies the data into the local record folder. Delete the original files after the import?</translation>
    </message>
    <message>
        <source>添加成功！</source>
        <translation>Imported!</translation>
    </message>
    <message>
        <source>导入记录文件成功</source>
        <translation>Record imported</translation>
    </message>
    <message>
        <source>添加失败！</source>
        <translation>Import failed!</translation>
    </message>
    <message>
        <source>导入记录文件失败</source>
        <translation>Importing the record failed</translation>
    </message>
    <message>
        <source>数据文件小于 1 MB，无法导入</source>
        <translation>The data file is smaller than 1 MB and cannot be imported</translation>
    </message>
    <message>
        <source>截断末尾后数据文件为空，请选择末尾补零</source>
        <translation>Cutting the end would leave a data file empty; choose padding with zeros</translation>
    </message>
    <message>
        <source>以下原始文件超出记录大小，未全部导入，已保留：</source>
        <translation>These source files are larger than the record, were not fully imported and have been kept:</translation>
    </message>
    <message>
        <source>导入失败</source>
        <translation>Import failed</translation>
    </message>
    <message>
        <source>每块采集卡的数据大小不能为奇数（MB），需要处理成偶数，截断末尾还是末尾补零？</source>
        <translation>The data size per acquisition card cannot be an odd number of MB and must be made even: truncate the end or pad the end with zeros?</translation>
    </message>
    <message>
        <source>记录编号（秒）</source>
        <translation>Record number (seconds)</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;注意:&lt;/p&gt;&lt;p&gt;记录数据文件将被重命名为 [记录编号.wdd] 格式，&lt;/p&gt;&lt;p&gt;并移动至设备 [本地记录文件夹] 目录 [记录编号] 目录下&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;Note:&lt;/p&gt;&lt;p&gt;The data files are renamed to [record number.wdd]&lt;/p&gt;&lt;p&gt;and put in the [record number] folder of the [local records folder].&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>记录编号仅能为纯数字，且不能为 0</source>
        <translation>The record number must be digits only and not 0</translation>
    </message>
</context>
<context>
    <name>RecordManager</name>
    <message>
        <source>记录管理</source>
        <translation>Records</translation>
    </message>
    <message>
        <source>状态：</source>
        <translation>Status:</translation>
    </message>
    <message>
        <source>进度：</source>
        <translation>Progress:</translation>
    </message>
    <message>
        <source>速度：</source>
        <translation>Speed:</translation>
    </message>
    <message>
        <source>设备记录列表</source>
        <translation>Records on the instrument</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>修改备注</source>
        <translation>Edit remark</translation>
    </message>
    <message>
        <source>上传</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>本地记录管理</source>
        <translation>Local records</translation>
    </message>
    <message>
        <source>详细信息</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>记录名称：</source>
        <translation>Record name:</translation>
    </message>
    <message>
        <source>采集时间：</source>
        <translation>Recorded at:</translation>
    </message>
    <message>
        <source>采集时长：</source>
        <translation>Duration:</translation>
    </message>
    <message>
        <source>文件大小：</source>
        <translation>File size:</translation>
    </message>
    <message>
        <source>采集位宽：</source>
        <translation>Bit width:</translation>
    </message>
    <message>
        <source>--</source>
        <translation>--</translation>
    </message>
    <message>
        <source>采集频段：</source>
        <translation>Bands:</translation>
    </message>
    <message>
        <source>备注</source>
        <translation>Remark</translation>
    </message>
    <message>
        <source>记录名</source>
        <translation>Record name</translation>
    </message>
    <message>
        <source>开始时间</source>
        <translation>Start time</translation>
    </message>
    <message>
        <source>采集时长</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>文件大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>位宽</source>
        <translation>Bits</translation>
    </message>
    <message>
        <source>带宽</source>
        <translation>Bandwidth</translation>
    </message>
    <message>
        <source>采样率</source>
        <translation>Rate</translation>
    </message>
    <message>
        <source>是否可用</source>
        <translation>Usable</translation>
    </message>
    <message>
        <source>频段%1</source>
        <translation>Band %1</translation>
    </message>
    <message>
        <source>可用</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>不可用</source>
        <translation>No</translation>
    </message>
    <message>
        <source>不支持的频段:%1</source>
        <translation>Unsupported band: %1</translation>
    </message>
    <message>
        <source>刷新记录列表成功</source>
        <translation>Record list refreshed</translation>
    </message>
    <message>
        <source>刷新失败:网络错误</source>
        <translation>Refresh failed: network error</translation>
    </message>
    <message>
        <source>刷新失败:操作超时</source>
        <translation>Refresh failed: timed out</translation>
    </message>
    <message>
        <source>刷新失败:记录异常</source>
        <translation>Refresh failed: bad record</translation>
    </message>
    <message>
        <source>刷新记录列表失败</source>
        <translation>Refreshing the record list failed</translation>
    </message>
    <message>
        <source>[%2] 不支持的频段:%1</source>
        <translation>[%2] Unsupported band: %1</translation>
    </message>
    <message>
        <source>停止上传</source>
        <translation>Stop upload</translation>
    </message>
    <message>
        <source>停止下载</source>
        <translation>Stop download</translation>
    </message>
    <message>
        <source>正在刷新数据</source>
        <translation>Refreshing</translation>
    </message>
    <message>
        <source>已发送删除指令:%1</source>
        <translation>Delete command sent: %1</translation>
    </message>
    <message>
        <source>删除确认</source>
        <translation>Confirm delete</translation>
    </message>
    <message>
        <source>取消删除操作</source>
        <translation>Delete cancelled</translation>
    </message>
    <message>
        <source>连续删除中，剩余:%1</source>
        <translation>Deleting, %1 left</translation>
    </message>
    <message>
        <source>删除记录成功</source>
        <translation>Record deleted</translation>
    </message>
    <message>
        <source>删除记录失败</source>
        <translation>Deleting the record failed</translation>
    </message>
    <message>
        <source>未找到指定记录</source>
        <translation>Record not found</translation>
    </message>
    <message>
        <source>修改记录备注</source>
        <translation>Edit Record Remark</translation>
    </message>
    <message>
        <source>请编辑备注信息</source>
        <translation>Edit the remark:</translation>
    </message>
    <message>
        <source>修改备注成功</source>
        <translation>Remark changed</translation>
    </message>
    <message>
        <source>修改备注失败</source>
        <translation>Changing the remark failed</translation>
    </message>
    <message>
        <source>未找到指定记录，请刷新后重试</source>
        <translation>Record not found; refresh and try again</translation>
    </message>
    <message>
        <source>下载记录失败</source>
        <translation>Downloading the record failed</translation>
    </message>
    <message>
        <source>上传记录失败</source>
        <translation>Uploading the record failed</translation>
    </message>
    <message>
        <source>未获取到采集卡信息，请刷新设备信息后重试</source>
        <translation>No acquisition card information; read the device information again and retry</translation>
    </message>
    <message>
        <source>上传确认</source>
        <translation>Confirm upload</translation>
    </message>
    <message>
        <source>记录 %1 可能已完成上传，是否重新上传?</source>
        <translation>Record %1 may already have been uploaded. Upload it again?</translation>
    </message>
    <message>
        <source>记录信息文件写入失败</source>
        <translation>Writing the record information file failed</translation>
    </message>
    <message>
        <source>执行失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>设备状态不为空闲状态</source>
        <translation>The instrument is not idle</translation>
    </message>
    <message>
        <source>传输初始化失败</source>
        <translation>Transfer set-up failed</translation>
    </message>
    <message>
        <source>准备中...</source>
        <translation>Preparing...</translation>
    </message>
    <message>
        <source>启动上传成功，上传中...</source>
        <translation>Upload started, uploading...</translation>
    </message>
    <message>
        <source>启动上传失败</source>
        <translation>Upload could not start</translation>
    </message>
    <message>
        <source>设备上报失败</source>
        <translation>Instrument reported a failure</translation>
    </message>
    <message>
        <source>启动下载成功，下载中...</source>
        <translation>Download started, downloading...</translation>
    </message>
    <message>
        <source>启动下载失败</source>
        <translation>Download could not start</translation>
    </message>
    <message>
        <source>传输错误</source>
        <translation>Transfer error</translation>
    </message>
    <message>
        <source>上传数据错误，上传已终止!</source>
        <translation>Upload data error; upload stopped!</translation>
    </message>
    <message>
        <source>下载数据错误，下载已终止!</source>
        <translation>Download data error; download stopped!</translation>
    </message>
    <message>
        <source>已退出上传模式</source>
        <translation>Upload ended</translation>
    </message>
    <message>
        <source>上传结果</source>
        <translation>Upload result</translation>
    </message>
    <message>
        <source>上传完成!</source>
        <translation>Upload complete!</translation>
    </message>
    <message>
        <source>已退出下载模式</source>
        <translation>Download ended</translation>
    </message>
    <message>
        <source>下载结果</source>
        <translation>Download result</translation>
    </message>
    <message>
        <source>下载完成!</source>
        <translation>Download complete!</translation>
    </message>
    <message>
        <source>删除失败:未选择记录</source>
        <translation>Delete failed: no record chosen</translation>
    </message>
    <message>
        <source>未选择记录</source>
        <translation>No record chosen</translation>
    </message>
    <message>
        <source>多选模式下尚未选择任何记录。
请点选要删除的记录后重试。</source>
        <translation>No record is chosen in multiple selection.
Click the records to delete, then try again.</translation>
    </message>
    <message>
        <source>删除失败:网络发送失败</source>
        <translation>Delete failed: sending over the network failed</translation>
    </message>
    <message>
        <source>%1，其余 %2 条记录未删除</source>
        <translation>%1; %2 more record(s) not deleted</translation>
    </message>
    <message>
        <source>0.00M/s</source>
        <translation>0.00 MB/s</translation>
    </message>
    <message>
        <source>%1M/s</source>
        <translation>%1 MB/s</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>单选模式下尚未选择任何记录。
请点选要删除的记录后重试。</source>
        <translation>No record is chosen in single selection.
Click the record to delete, then try again.</translation>
    </message>
    <message>
        <source>删除记录</source>
        <translation>Delete Record</translation>
    </message>
    <message>
        <source>删除记录 %1：设备在超时后确认已删除</source>
        <translation>Delete record %1: the instrument confirmed it after the time-out</translation>
    </message>
    <message>
        <source>删除记录 %1：设备在超时后报告未删除</source>
        <translation>Delete record %1: the instrument reported after the time-out that it was not deleted</translation>
    </message>
    <message>
        <source>修改记录备注 %1：设备在超时后确认已修改</source>
        <translation>Edit the remark of record %1: the instrument confirmed it after the time-out</translation>
    </message>
    <message>
        <source>修改记录备注 %1：设备在超时后报告未修改</source>
        <translation>Edit the remark of record %1: the instrument reported after the time-out that it was not changed</translation>
    </message>
    <message>
        <source>设备已重新连接：列表为断开前的记录，按“刷新”取得设备当前的记录</source>
        <translation>Connected again: this list is from before the drop; press Refresh for the current one</translation>
    </message>
    <message>
        <source>核对记录失败</source>
        <translation>Record check failed</translation>
    </message>
    <message>
        <source>修改记录备注 %1 失败：设备应答不完整</source>
        <translation>Changing the remark of record %1 failed: the instrument&apos;s answer was incomplete</translation>
    </message>
    <message>
        <source>删除记录 %1 失败：设备应答不完整</source>
        <translation>Deleting record %1 failed: the instrument&apos;s answer was incomplete</translation>
    </message>
    <message>
        <source>上一次传输尚未结束，请待其结束后再试</source>
        <translation>The last transfer has not ended yet; try again once it has</translation>
    </message>
    <message>
        <source>采集卡 %1：已接受，已通知其停止</source>
        <translation>Card %1: accepted, told to stop</translation>
    </message>
    <message>
        <source>采集卡 %1：启动失败</source>
        <translation>Card %1: could not start</translation>
    </message>
    <message>
        <source>采集卡 %1：未找到记录</source>
        <translation>Card %1: record not found</translation>
    </message>
    <message>
        <source>采集卡 %1：未应答</source>
        <translation>Card %1: no answer</translation>
    </message>
    <message>
        <source>设备应答无法确认，已按各采集卡是否连接核对</source>
        <translation>The instrument&apos;s answer could not be tied to one request; each card was checked by whether it connected</translation>
    </message>
    <message>
        <source>采集卡 %1：已连接，上传中</source>
        <translation>Card %1: connected, uploading</translation>
    </message>
    <message>
        <source>采集卡 %1：未连接，未上传</source>
        <translation>Card %1: did not connect, not uploaded</translation>
    </message>
    <message>
        <source>设备未及时应答，正在核对各采集卡是否连接</source>
        <translation>The instrument did not answer in time: checking whether each card connects</translation>
    </message>
    <message>
        <source>设备响应超时，已按各采集卡是否连接核对</source>
        <translation>The instrument did not answer in time; each card was checked by whether it connected</translation>
    </message>
    <message>
        <source>采集卡 %1：已连接，下载中</source>
        <translation>Card %1: connected, downloading</translation>
    </message>
    <message>
        <source>采集卡 %1：未连接，未下载</source>
        <translation>Card %1: did not connect, not downloaded</translation>
    </message>
    <message>
        <source>采集卡 %1：已连接</source>
        <translation>Card %1: connected</translation>
    </message>
    <message>
        <source>重新上传的数据先另存，全部传完后才替换本地现有的完整副本；未传完或被停止时，现有副本保持不变、仍可使用。</source>
        <translation>The new data is kept apart and replaces the complete local copy only once all of it has arrived; if it does not finish or is stopped, the local copy stays unchanged and usable.</translation>
    </message>
    <message>
        <source>本地数据文件不完整，未下载</source>
        <translation>The local data files are incomplete; nothing was downloaded</translation>
    </message>
    <message>
        <source>%p%（未完成）</source>
        <translation>%p% (unfinished)</translation>
    </message>
    <message>
        <source>记录 %1 本地原有的完整副本保持不变，仍可使用。</source>
        <translation>The complete local copy of record %1 is unchanged and still usable.</translation>
    </message>
    <message>
        <source>已替换本地原有的副本。</source>
        <translation>The earlier local copy was replaced.</translation>
    </message>
    <message>
        <source>重新上传已停止，本地原有的完整副本保持不变</source>
        <translation>New upload stopped; the complete local copy is unchanged</translation>
    </message>
    <message>
        <source>重新上传已停止。</source>
        <translation>New upload stopped.</translation>
    </message>
    <message>
        <source>切换到多选</source>
        <translation>Select several</translation>
    </message>
    <message>
        <source>切换到单选</source>
        <translation>Select one</translation>
    </message>
    <message>
        <source>正在确认采集卡发送完毕</source>
        <translation>Confirming that the cards have sent everything</translation>
    </message>
    <message>
        <source>采集卡 %1：%2</source>
        <translation>Card %1: %2</translation>
    </message>
    <message>
        <source>这两次上传都在同一处回退，再次上传也不会有进展；已收到的数据保留在本地，请检查采集卡后再上传。</source>
        <translation>Both uploads rolled back at the same point, so uploading again will not get further. The data received so far stays on this PC; check the card before uploading again.</translation>
    </message>
    <message>
        <source>上传数据无法确认</source>
        <translation>Upload data cannot be proved</translation>
    </message>
    <message>
        <source>采集卡 %1：尚未应答，结果未知</source>
        <translation>Card %1: no answer yet, outcome unknown</translation>
    </message>
    <message>
        <source>设备已接受启动，但采集卡未连接</source>
        <translation>The instrument accepted the start, but a card did not connect</translation>
    </message>
    <message>
        <source>采集卡 %1：已接受启动，但未连接，未上传</source>
        <translation>Card %1: accepted the start but did not connect; not uploaded</translation>
    </message>
    <message>
        <source>采集卡 %1：已接受启动，但未连接，未下载</source>
        <translation>Card %1: accepted the start but did not connect; not downloaded</translation>
    </message>
    <message>
        <source>正在核对，其余 %1 条记录在核对后删除</source>
        <translation>Checking; the other %1 record(s) are deleted once it is checked</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>设备未连接：刷新、删除、修改备注和上传在连接后可用</source>
        <translation>Instrument not connected: refresh, delete, remark and upload wait for it</translation>
    </message>
    <message>
        <source>设备未连接</source>
        <translation>Instrument not connected</translation>
    </message>
    <message>
        <source>设备未连接：列表为断开前的记录，刷新、删除、修改备注和上传在连接恢复后可用</source>
        <translation>Instrument not connected: this list is from before the drop; the buttons return with the link</translation>
    </message>
    <message>
        <source>记录 %1 上次替换本地副本时被中断，原来的完整副本已恢复。</source>
        <translation>The last replacement of the local copy of record %1 was cut short; the complete earlier copy has been restored.</translation>
    </message>
    <message>
        <source>记录 %1 上次替换本地副本时被中断，当时替换已完成，留下的旧副本已删除。</source>
        <translation>The last replacement of the local copy of record %1 was cut short after it had finished; the old copy left behind has been deleted.</translation>
    </message>
    <message>
        <source>是否确认删除记录 %1？</source>
        <translation>Delete record %1?</translation>
    </message>
    <message>
        <source>是否确认删除选择的 %1 条记录？
%2</source>
        <translation>Delete the %1 selected records?
%2</translation>
    </message>
    <message>
        <source>记录 %1 已完成上传，是否重新上传?</source>
        <translation>Record %1 has been uploaded completely. Upload it again?</translation>
    </message>
    <message>
        <source>上传完成</source>
        <translation>Upload complete</translation>
    </message>
</context>
<context>
    <name>RecordText</name>
    <message>
        <source>记录 %1 存在上传记录（已上传 %2，共 %3），是否继续上传进度上传？
是：从已上传处继续，已上传的数据保留。
否：删除已上传的 %2，从 0% 重新上传。</source>
        <translation>Record %1 was partly uploaded (%2 of %3). Continue the upload?
Yes: continue where it stopped; the uploaded data is kept.
No: delete the %2 already uploaded and upload again from 0%.</translation>
    </message>
    <message>
        <source>设备上的记录条数未知（记录列表尚未获取）</source>
        <translation>The number of records on the instrument is unknown (its record list has not been fetched)</translation>
    </message>
    <message>
        <source>设备上现有 %1 条记录</source>
        <translation>The instrument holds %1 records</translation>
    </message>
    <message>
        <source>是否确认清空设备上的所有记录？
%1，将全部删除，无法恢复。
电脑上的本地记录副本不受影响。</source>
        <translation>Clear all records on the instrument?
%1; all will be deleted and cannot be recovered.
The local copies of records on this PC are not affected.</translation>
    </message>
</context>
<context>
    <name>RecordValueCaption</name>
    <message>
        <source>记录带宽:</source>
        <translation>Bandwidth:</translation>
    </message>
    <message>
        <source>采 样 率:</source>
        <translation>Sample rate:</translation>
    </message>
</context>
<context>
    <name>ReplyWords</name>
    <message>
        <source>设备未及时应答，正在核对…</source>
        <translation>The device did not answer in time; checking…</translation>
    </message>
    <message>
        <source>上一次请求尚未结束（%1），本次未发送</source>
        <translation>The previous request has not ended (%1); this one was not sent</translation>
    </message>
    <message>
        <source>设备未及时应答，核对结果：%1</source>
        <translation>The device did not answer in time; the check found: %1</translation>
    </message>
    <message>
        <source>设备在响应超时后报告失败</source>
        <translation>The device reported a failure after its answer timed out</translation>
    </message>
    <message>
        <source>网络发送失败</source>
        <translation>Network send failed</translation>
    </message>
    <message>
        <source>核对设备状态失败</source>
        <translation>State check failed</translation>
    </message>
    <message>
        <source>未能获取设备状态，以下请求的结果未知：
%1</source>
        <translation>Could not get the instrument&apos;s state; the outcome of these requests is unknown:
%1</translation>
    </message>
</context>
<context>
    <name>RunCommandReplies</name>
    <message>
        <source>设备应答不完整，已查询设备状态：%1</source>
        <translation>The instrument&apos;s answer was incomplete; its state, asked for since: %1</translation>
    </message>
</context>
<context>
    <name>SceneManagerForm</name>
    <message>
        <source>默认存储路径：</source>
        <translation>Default folder:</translation>
    </message>
    <message>
        <source>查看文件夹</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>场景当前信息</source>
        <translation>Current scene</translation>
    </message>
    <message>
        <source>位宽：</source>
        <translation>Bit width:</translation>
    </message>
    <message>
        <source>频段1：</source>
        <translation>Band 1:</translation>
    </message>
    <message>
        <source>功率衰减：</source>
        <translation>Attenuation:</translation>
    </message>
    <message>
        <source>转发时延：</source>
        <translation>Forwarding delay:</translation>
    </message>
    <message>
        <source>多普勒参数：</source>
        <translation>Doppler:</translation>
    </message>
    <message>
        <source>（无）</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>当前设置文件：</source>
        <translation>Settings file:</translation>
    </message>
    <message>
        <source>保存当前设置</source>
        <translation>Save settings</translation>
    </message>
    <message>
        <source>读取设置</source>
        <translation>Load settings</translation>
    </message>
    <message>
        <source>频段%1：</source>
        <translation>Band %1:</translation>
    </message>
    <message>
        <source>(无)</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>(已修改，需重新读取)</source>
        <translation>(changed, load again) </translation>
    </message>
    <message>
        <source>配置文件(*.ini);;</source>
        <translation>Scene files (*.ini);;</translation>
    </message>
    <message>
        <source>选择要读取的场景配置文件</source>
        <translation>Load a scene file</translation>
    </message>
    <message>
        <source>读取失败</source>
        <translation>Load failed</translation>
    </message>
    <message>
        <source>文件信息有误</source>
        <translation>The file does not hold a valid scene</translation>
    </message>
    <message>
        <source>选择保存场景配置路径</source>
        <translation>Save the scene as</translation>
    </message>
    <message>
        <source>保存成功</source>
        <translation>Saved</translation>
    </message>
    <message>
        <source>保存失败</source>
        <translation>Save failed</translation>
    </message>
    <message>
        <source>请检查是否有权限</source>
        <translation>Check that the folder can be written</translation>
    </message>
    <message>
        <source>保存场景</source>
        <translation>Save scene</translation>
    </message>
    <message>
        <source>%1 已存在，是否覆盖?</source>
        <translation>%1 exists already. Replace it?</translation>
    </message>
    <message>
        <source>场景管理</source>
        <translation>Scenes</translation>
    </message>
</context>
<context>
    <name>SelfCheckReport</name>
    <message>
        <source>射频模块故障</source>
        <translation>RF module fault</translation>
    </message>
    <message>
        <source>硬盘故障</source>
        <translation>Disk fault</translation>
    </message>
    <message>
        <source>无校准文件</source>
        <translation>No calibration file</translation>
    </message>
    <message>
        <source>[采集卡 %1]设备自检正常</source>
        <translation>[Card %1] self-check passed</translation>
    </message>
    <message>
        <source>[采集卡 %1]</source>
        <translation>[Card %1]</translation>
    </message>
    <message>
        <source>[采集卡 %1]未应答</source>
        <translation>[Card %1] did not answer</translation>
    </message>
    <message>
        <source>另有 %1 张采集卡未应答</source>
        <translation>%1 more card(s) did not answer</translation>
    </message>
</context>
<context>
    <name>SkyvaneManager</name>
    <message>
        <source>定位无效/不可用</source>
        <translation>No fix / not available</translation>
    </message>
    <message>
        <source>单点定位</source>
        <translation>Single point</translation>
    </message>
    <message>
        <source>差分定位</source>
        <translation>Differential</translation>
    </message>
    <message>
        <source>GPS PPS模式</source>
        <translation>GPS PPS mode</translation>
    </message>
    <message>
        <source>惯导模式</source>
        <translation>Dead reckoning</translation>
    </message>
    <message>
        <source>手动输入模式</source>
        <translation>Manual input</translation>
    </message>
    <message>
        <source>模拟器模式</source>
        <translation>Simulator</translation>
    </message>
    <message>
        <source>PPS模式</source>
        <translation>PPS mode</translation>
    </message>
    <message>
        <source>固定解</source>
        <translation>RTK fixed</translation>
    </message>
    <message>
        <source>浮点解</source>
        <translation>RTK float</translation>
    </message>
    <message>
        <source>估算模式</source>
        <translation>Estimated</translation>
    </message>
    <message>
        <source>PPP模式</source>
        <translation>PPP mode</translation>
    </message>
    <message>
        <source>自主模式</source>
        <translation>Autonomous</translation>
    </message>
    <message>
        <source>差分模式</source>
        <translation>Differential</translation>
    </message>
    <message>
        <source>无定位</source>
        <translation>No fix</translation>
    </message>
    <message>
        <source>高精度模式</source>
        <translation>Precise</translation>
    </message>
    <message>
        <source>模式无效</source>
        <translation>Mode not valid</translation>
    </message>
    <message>
        <source>数据无效</source>
        <translation>Data not valid</translation>
    </message>
    <message>
        <source>安全</source>
        <translation>Safe</translation>
    </message>
    <message>
        <source>注意</source>
        <translation>Caution</translation>
    </message>
    <message>
        <source>危险</source>
        <translation>Unsafe</translation>
    </message>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>不安全</source>
        <translation>Not safe</translation>
    </message>
    <message>
        <source>航行状态无效</source>
        <translation>Navigation status not valid</translation>
    </message>
</context>
<context>
    <name>StarrySpace</name>
    <message>
        <source>开关定位系统显示</source>
        <translation>Systems shown</translation>
    </message>
    <message>
        <source>切换详细信息显示</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>各系统可见卫星总数</source>
        <translation>Satellites in view</translation>
    </message>
</context>
<context>
    <name>StaticCNR</name>
    <message>
        <source>开关频点显示</source>
        <translation>Bands shown</translation>
    </message>
    <message>
        <source>各系统卫星载噪比数</source>
        <translation>Satellite C/N0 per system</translation>
    </message>
</context>
<context>
    <name>SystemLog</name>
    <message>
        <source>系统状态</source>
        <translation>System Status</translation>
    </message>
    <message>
        <source>设置IP地址、子网掩码、网关成功!!</source>
        <translation>IP address, subnet mask and gateway set!</translation>
    </message>
    <message>
        <source>设置IP地址、子网掩码、网关失败!!</source>
        <translation>Setting IP address, subnet mask and gateway failed!</translation>
    </message>
    <message>
        <source>写入自定义频段成功</source>
        <translation>Custom bands written</translation>
    </message>
    <message>
        <source>写入自定义频段失败</source>
        <translation>Writing custom bands failed</translation>
    </message>
    <message>
        <source>权限不足，写入自定义频段失败</source>
        <translation>Writing custom bands failed: not permitted</translation>
    </message>
</context>
<context>
    <name>SystemSet2</name>
    <message>
        <source>系统设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>控制连接设置</source>
        <translation>Control connection</translation>
    </message>
    <message>
        <source>设 备 IP：</source>
        <translation>Device IP:</translation>
    </message>
    <message>
        <source>端 口 号：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>连接</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>设备自检</source>
        <translation>Self-check</translation>
    </message>
    <message>
        <source>设备网络修改</source>
        <translation>Instrument network</translation>
    </message>
    <message>
        <source>IP  地  址：</source>
        <translation>IP address:</translation>
    </message>
    <message>
        <source>子网掩码：</source>
        <translation>Subnet mask:</translation>
    </message>
    <message>
        <source>网      关：</source>
        <translation>Gateway:</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>数据保存路径</source>
        <translation>Data folder</translation>
    </message>
    <message>
        <source>当前路径：</source>
        <translation>Current:</translation>
    </message>
    <message>
        <source>修改路径</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>打开路径</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>设备硬盘设置</source>
        <translation>Instrument disk</translation>
    </message>
    <message>
        <source>未连接设备</source>
        <translation>Not connected</translation>
    </message>
    <message>
        <source>存储容量：</source>
        <translation>Capacity:</translation>
    </message>
    <message>
        <source>剩余容量：</source>
        <translation>Free:</translation>
    </message>
    <message>
        <source>清空所有记录</source>
        <translation>Clear all</translation>
    </message>
    <message>
        <source>转发时延</source>
        <translation>Delay</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>多普勒参数</source>
        <translation>Doppler</translation>
    </message>
    <message>
        <source>带宽设置</source>
        <translation>Bandwidth</translation>
    </message>
    <message>
        <source>采样率：</source>
        <translation>Sample rate:</translation>
    </message>
    <message>
        <source>增益控制</source>
        <translation>Gain</translation>
    </message>
    <message>
        <source>MGC 功率控制</source>
        <translation>MGC power control</translation>
    </message>
    <message>
        <source>馈电开关</source>
        <translation>Antenna feed</translation>
    </message>
    <message>
        <source>打开馈电</source>
        <translation>Feed on</translation>
    </message>
    <message>
        <source>输出频点</source>
        <translation>Output band</translation>
    </message>
    <message>
        <source>对时脉冲</source>
        <translation>Timing pulse</translation>
    </message>
    <message>
        <source>脉冲时间</source>
        <translation>Pulse time</translation>
    </message>
    <message>
        <source>脉冲个数</source>
        <translation>Pulse count</translation>
    </message>
    <message>
        <source>发送对时脉冲请求</source>
        <translation>Send pulses</translation>
    </message>
    <message>
        <source>自定义频段</source>
        <translation>Custom bands</translation>
    </message>
    <message>
        <source>已添加的频段</source>
        <translation>Bands added</translation>
    </message>
    <message>
        <source>频段名称：</source>
        <translation>Band name:</translation>
    </message>
    <message>
        <source>中心频率(Hz)：</source>
        <translation>Centre freq. (Hz):</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>删除最后</source>
        <translation>Delete last</translation>
    </message>
    <message>
        <source>还原</source>
        <translation>Revert</translation>
    </message>
    <message>
        <source>保存修改</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>请输入正确的IP地址或端口号！</source>
        <translation>Please enter a valid IP address and port!</translation>
    </message>
    <message>
        <source>断开</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>IP不合法</source>
        <translation>Invalid IP address</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>修改设备IP成功，重启设备后生效</source>
        <translation>Device IP changed; restart the instrument to apply it</translation>
    </message>
    <message>
        <source>请选择数据保存位置</source>
        <translation>Choose the data folder</translation>
    </message>
    <message>
        <source>自检结果</source>
        <translation>Self-check result</translation>
    </message>
    <message>
        <source>注：设置IP前，请先确保所设IP的地址未被占用，否则设备无法启动</source>
        <translation>Note: this IP must be unused, or the instrument cannot start</translation>
    </message>
    <message>
        <source>对时脉冲设置失败</source>
        <translation>Setting the time-sync pulse failed</translation>
    </message>
    <message>
        <source>秒脉冲等待时间范围需在 [0,1000] 内</source>
        <translation>The PPS delay must be within [0,1000]</translation>
    </message>
    <message>
        <source>名称不能包含* # &amp; ^ % 字符</source>
        <translation>The name may not contain * # &amp; ^ %</translation>
    </message>
    <message>
        <source>频段范围为 200MHz ~ 4.2GHz</source>
        <translation>The band must lie between 200 MHz and 4.2 GHz</translation>
    </message>
    <message>
        <source>请检查输入的频段名称与中心频率是否有效</source>
        <translation>Check the band name and centre frequency</translation>
    </message>
    <message>
        <source>最大自定义频段数量为 10 个</source>
        <translation>At most 10 custom bands</translation>
    </message>
    <message>
        <source>已存在同名/同中心频率的频段，添加失败</source>
        <translation>A band with this name or centre frequency exists; not added</translation>
    </message>
    <message>
        <source>保存修改后生效</source>
        <translation>Takes effect when saved</translation>
    </message>
    <message>
        <source>存在该频段采集的记录，请先删除记录</source>
        <translation>Records use this band; delete them first</translation>
    </message>
    <message>
        <source>已有保存的修改，待重启设备和软件!</source>
        <translation>Changes already saved; restart the instrument and the software!</translation>
    </message>
    <message>
        <source>保存成功</source>
        <translation>Saved</translation>
    </message>
    <message>
        <source>硬盘%1：%2</source>
        <translation>Disk %1: %2</translation>
    </message>
    <message>
        <source>修改设备IP失败</source>
        <translation>Changing the instrument address failed</translation>
    </message>
    <message>
        <source>设备自检失败</source>
        <translation>Self-check failed</translation>
    </message>
    <message>
        <source>设备响应超时</source>
        <translation>Instrument did not answer in time</translation>
    </message>
    <message>
        <source>数据清空成功</source>
        <translation>All records cleared</translation>
    </message>
    <message>
        <source>清空记录失败</source>
        <translation>Clearing the records failed</translation>
    </message>
    <message>
        <source>设备在超时后确认已清空所有记录</source>
        <translation>After the time-out, the instrument confirmed that all records are cleared</translation>
    </message>
    <message>
        <source>设备在超时后报告清空记录失败</source>
        <translation>After the time-out, the instrument reported that clearing the records failed</translation>
    </message>
    <message>
        <source>设备在超时后接受了地址 %1，重启设备后生效</source>
        <translation>After the time-out, the instrument accepted the address %1; it takes effect when the instrument restarts</translation>
    </message>
    <message>
        <source>已断开连接，按“连接”重新连接。</source>
        <translation>Disconnected: press Connect to connect again.</translation>
    </message>
    <message>
        <source>连接 %1 失败（%2 次），每 %3 秒自动重试。</source>
        <translation>Connection to %1 failed (attempts: %2); retrying every %3 s.</translation>
    </message>
    <message>
        <source>正在连接 %1 …</source>
        <translation>Connecting to %1 …</translation>
    </message>
    <message>
        <source>修改设备IP</source>
        <translation>Change the instrument IP</translation>
    </message>
    <message>
        <source>设备应答不完整</source>
        <translation>The instrument&apos;s answer was incomplete</translation>
    </message>
    <message>
        <source>带宽</source>
        <translation>Bandwidth</translation>
    </message>
    <message>
        <source>增益模式</source>
        <translation>Gain mode</translation>
    </message>
    <message>
        <source>MGC 功率</source>
        <translation>MGC power</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>on</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>off</translation>
    </message>
    <message>
        <source>已发送</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>输出频点 %1 已发送，设备不回复结果</source>
        <translation>Output band %1 sent; the instrument does not answer with a result</translation>
    </message>
    <message>
        <source>对时脉冲设置已发送，设备不回复结果</source>
        <translation>Timing pulse settings sent; the instrument does not answer with a result</translation>
    </message>
    <message>
        <source>对时脉冲请求已发送</source>
        <translation>Timing pulse request sent</translation>
    </message>
    <message>
        <source>设备在超时后拒绝了地址 %1，设备地址的配置未更改</source>
        <translation>After the time-out the device refused address %1; the configured device address was not changed</translation>
    </message>
    <message>
        <source>核对记录失败</source>
        <translation>Record check failed</translation>
    </message>
    <message>
        <source>AGC 模式下功率由设备自动控制</source>
        <translation>Under AGC the instrument controls the power itself</translation>
    </message>
    <message>
        <source>网络发送失败，设备地址的配置未更改</source>
        <translation>Network send failed; the instrument&apos;s address setting was not changed</translation>
    </message>
    <message>
        <source>保存结果未知</source>
        <translation>Save outcome unknown</translation>
    </message>
    <message>
        <source>设备未应答，无法确定自定义频段是否已保存，请重试</source>
        <translation>The instrument did not answer; whether the custom bands were saved is unknown. Please try again</translation>
    </message>
    <message>
        <source>保存失败</source>
        <translation>Save failed</translation>
    </message>
    <message>
        <source>自定义频段保存修改失败，请重试</source>
        <translation>Saving custom bands failed, please try again</translation>
    </message>
    <message>
        <source>自定义频段保存修改未发送，请重试</source>
        <translation>The custom band changes were not sent. Please try again</translation>
    </message>
    <message>
        <source>自定义频段保存修改成功，设备和控制软件都重启后生效。
本软件不能重启设备：请给设备断电后重新上电，再重新启动本软件。</source>
        <translation>Custom bands saved; they take effect once the instrument and this software restart.
This software cannot restart the instrument: switch the instrument off and on again, then restart this software.</translation>
    </message>
</context>
<context>
    <name>TimeSeletor</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>采集时间设置</source>
        <translation>Recording Time</translation>
    </message>
    <message>
        <source>╳</source>
        <translation>╳</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>回到当前</source>
        <translation>Now</translation>
    </message>
    <message>
        <source>设置时间失败</source>
        <translation>Invalid time</translation>
    </message>
    <message>
        <source>所设时间需大于当前时间10秒以上!&lt;br&gt;请重新设置</source>
        <translation>The time must be more than 10 seconds from now!&lt;br&gt;Please set it again</translation>
    </message>
</context>
<context>
    <name>UploadChoose</name>
    <message>
        <source>记录数据上传</source>
        <translation>Record Upload</translation>
    </message>
    <message>
        <source>╳</source>
        <translation>╳</translation>
    </message>
    <message>
        <source>选择需要上传的数据通道</source>
        <translation>Choose the channels to upload</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>All</translation>
    </message>
    <message>
        <source>反选</source>
        <translation>Invert</translation>
    </message>
    <message>
        <source>取消选择</source>
        <translation>None</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>ValueText</name>
    <message>
        <source>注：设置IP前，请先确保所设IP开始（板卡数 + 1）个IP地址未被占用，否则设备无法启动</source>
        <translation>Note: the (boards + 1) addresses from this IP on must be unused, or the instrument cannot start</translation>
    </message>
    <message>
        <source>注：设置IP前，请先确保所设IP开始 %1 个IP地址未被占用，否则设备无法启动</source>
        <translation>Note: the %1 addresses from this IP on must be unused, or the instrument cannot start</translation>
    </message>
</context>
</TS>
