#include "core/menutree.h"

namespace core {

const QList<MenuEntrySpec>& menuTree() {
    using K = MenuKind;
    static const QList<MenuEntrySpec> tree{
        {0, QStringLiteral("Empresa"), K::TopOrSeparator, false},
        {1, QStringLiteral("Empresa"), K::Window, false},
        {1, QStringLiteral("Relatórios"), K::Always, false},
        {2, QStringLiteral("Relatório da Empresa"), K::Report, false},
        {0, QStringLiteral("Cadastros"), K::TopOrSeparator, false},
        {1, QStringLiteral("Unidades Orçamentárias"), K::Window, false},
        {1, QStringLiteral("Relatórios"), K::Always, false},
        {2, QStringLiteral("Relatório das Unidades Orçamentárias - Ordem Numérica"), K::Report, false},
        {2, QStringLiteral("Relatório das Unidades Orçamentárias - Ordem Alfabética"), K::Report, false},
        {1, QString(), K::TopOrSeparator, false},
        {1, QStringLiteral("Setores"), K::Window, false},
        {1, QStringLiteral("Relatórios"), K::Always, false},
        {2, QStringLiteral("Relatório dos Setores - Ordem Numérica"), K::Report, false},
        {2, QStringLiteral("Relatório dos Setores - Ordem Alfabética"), K::Report, false},
        {1, QString(), K::TopOrSeparator, false},
        {1, QStringLiteral("Tipos de Processos"), K::Window, false},
        {1, QStringLiteral("Relatórios"), K::Always, false},
        {2, QStringLiteral("Relatório dos Tipos de Processos - Ordem Numérica"), K::Report, false},
        {2, QStringLiteral("Relatório dos Tipos de Processos - Ordem Alfabética"), K::Report, false},
        {1, QString(), K::TopOrSeparator, false},
        {1, QStringLiteral("Requerentes/Titulares"), K::Window, false},
        {1, QStringLiteral("Relatórios"), K::Always, false},
        {2, QStringLiteral("Relatório dos Requerentes/Titulares - Ordem Numérica"), K::Report, false},
        {2, QStringLiteral("Relatório dos Requerentes/Titulares - Ordem Alfabética"), K::Report, false},
        {1, QString(), K::TopOrSeparator, false},
        {1, QStringLiteral("Processos"), K::Window, false},
        {1, QStringLiteral("Relatórios"), K::Always, true},
        {1, QString(), K::TopOrSeparator, true},
        {1, QStringLiteral("Tramitação"), K::Window, true},
        {1, QStringLiteral("Relatórios"), K::Always, true},
        {1, QString(), K::TopOrSeparator, false},
        {1, QStringLiteral("Pendências"), K::Window, false},
        {1, QStringLiteral("Relatórios"), K::Always, true},
        {1, QString(), K::TopOrSeparator, false},
        {1, QStringLiteral("Pesquisa Processos"), K::Window, false},
        {1, QStringLiteral("Pesquisa Despachos"), K::Window, false},
        // Brings the main window's chart of pending processes up to date; its right also decides
        // whether the chart is shown at all.
        {1, QStringLiteral("Painel de Pendências"), K::Window, false},
        // The reports of the processes themselves. Rights are stored by entry title, so an entry
        // added here leaves the grants of existing databases as they were.
        {1, QStringLiteral("Relatórios"), K::Always, false},
        {2, QStringLiteral("Processos parados"), K::Report, false},
        {0, QStringLiteral("TCE/AL"), K::TopOrSeparator, false},
        {1, QStringLiteral("Tipo/Unidade"), K::Window, false},
        {1, QStringLiteral("Relatórios"), K::Always, false},
        {2, QStringLiteral("Relatório Tipos de Unidades - Ordem Numérica"), K::Report, false},
        {2, QStringLiteral("Relatório Tipos de Unidades - Ordem Alfabética"), K::Report, false},
        {0, QStringLiteral("Usuários"), K::TopOrSeparator, false},
        {1, QStringLiteral("Usuários..."), K::Window, false},
        // Who changed what: read-only, granted like any other window.
        {1, QStringLiteral("Trilha de Auditoria"), K::Window, false},
        {1, QStringLiteral("Relatórios"), K::Always, false},
        {2, QStringLiteral("Relatório dos Usuários - Ordem Numérica"), K::Report, false},
        {2, QStringLiteral("Relatório dos Usuários - Ordem Alfabética"), K::Report, false},
        {0, QStringLiteral("Apoio"), K::TopOrSeparator, false},
        {1, QStringLiteral("Atualiza Banco de Dados"), K::Utility, false},
        {1, QStringLiteral("Renova Código de Consulta Pública"), K::Utility, false},
        {1, QStringLiteral("Recebe dados - TCE/AL"), K::Always, false},
        {2, QStringLiteral("Tipos de Unidades"), K::Utility, false},
        {0, QStringLiteral("Sobre"), K::TopOrSeparator, false},
        {1, QStringLiteral("Ajuda"), K::Always, false},
        {0, QStringLiteral("Sair"), K::TopOrSeparator, false},
    };
    return tree;
}

QStringList grantableTitles() {
    QStringList titles;
    for (const auto& e : menuTree())
        if (e.level > 0 &&
            (e.kind == MenuKind::Window || e.kind == MenuKind::Report || e.kind == MenuKind::Utility))
            titles << e.title;
    return titles;
}

} // namespace core
