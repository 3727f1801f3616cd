<?xml version="1.0"?>
<!-- Shows one item of a channel document: the one whose GUID attribute is given below. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" indent="no"/>

  <xsl:variable name="item" select="//*[local-name()='item'][@GUID='{{GUID}}'][1]"/>

  <xsl:template match="/">
    <html>
      <head>
        <title><xsl:value-of select="$item/*[local-name()='title']"/></title>
        <style type="text/css">
      body { margin: 0; padding: 14px 18px; background: #ffffff; color: #222831;
             font-family: "DejaVu Sans", "Segoe UI", Tahoma, Arial, sans-serif; font-size: 13px; line-height: 1.5; }
      .channel { color: #6b7585; font-size: 11px; letter-spacing: 0.02em;
                 border-bottom: 1px solid #dfe2e7; padding-bottom: 6px; margin-bottom: 10px; }
      .channel a { color: #6b7585; text-decoration: none; }
      h1 { font-size: 18px; line-height: 1.3; margin: 0 0 4px 0; color: #1b3d70; }
      h1 a { color: #1b3d70; text-decoration: none; }
      h1 a:hover { text-decoration: underline; }
      .meta { color: #6b7585; font-size: 11px; margin-bottom: 12px; }
      .meta span + span:before { content: " \00b7  "; }
      .description { overflow-wrap: break-word; }
      .description img { max-width: 100%; height: auto; }
      .more { margin-top: 16px; }
      .more a { color: #2f6db5; }
      .empty { color: #6b7585; font-style: italic; }
        </style>
      </head>
      <body>
        <div class="channel">
          <a href="{/*/*[local-name()='channel']/*[local-name()='link']}"><xsl:value-of select="/*/*[local-name()='channel']/*[local-name()='title']"/></a>
        </div>
        <xsl:choose>
          <xsl:when test="$item">
            <xsl:apply-templates select="$item"/>
          </xsl:when>
          <xsl:otherwise>
            <p class="empty">Wybrana wiadomość nie jest już dostępna.</p>
          </xsl:otherwise>
        </xsl:choose>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="*">
    <xsl:variable name="link" select="*[local-name()='link']"/>
    <xsl:variable name="date">
      <xsl:choose>
        <xsl:when test="string(*[local-name()='date'])"><xsl:value-of select="*[local-name()='date']"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="*[local-name()='pubDate']"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="author">
      <xsl:choose>
        <xsl:when test="string(*[local-name()='creator'])"><xsl:value-of select="*[local-name()='creator']"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="*[local-name()='author']"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <h1><a href="{$link}"><xsl:value-of select="*[local-name()='title']"/></a></h1>
    <div class="meta">
      <xsl:if test="string($date)"><span>Data publikacji: <xsl:value-of select="$date"/></span></xsl:if>
      <xsl:if test="string($author)"><span>Autor: <xsl:value-of select="$author"/></span></xsl:if>
    </div>
    <div class="description">
      <xsl:value-of select="*[local-name()='description']" disable-output-escaping="yes"/>
    </div>
    <xsl:if test="string($link)">
      <p class="more"><a href="{$link}">Czytaj całość w serwisie &#187;</a></p>
    </xsl:if>
  </xsl:template>
</xsl:stylesheet>
