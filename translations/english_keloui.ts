<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
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
        <translation>Collection</translation>
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
        <translation>Monitoring</translation>
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
        <source>采集回放仪上位机控制软件</source>
        <translation>Record and Playback Instrument Control Software</translation>
    </message>
    <message>
        <source>参数校准</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>DB9数据</source>
        <translation>DB9 Data</translation>
    </message>
    <message>
        <source>接口协议</source>
        <translation>Interface</translation>
    </message>
    <message>
        <source>场景管理</source>
        <translation>Scenes</translation>
    </message>
    <message>
        <source>转发设置</source>
        <translation>Forwarding</translation>
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
</context>
<context>
    <name>PlaceholderPage</name>
    <message>
        <source>此页面尚未实现</source>
        <translation>This page is not built yet</translation>
    </message>
</context>
</TS>
